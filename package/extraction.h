#pragma once

#include "win32lib/http/ProgressCallback.h"

#include <cstdint>
#include <string>

namespace package {

// Extractor codes (distinct from the HTTP client's codes of the same values).
enum ExtractorCode : uint32_t {
    kExtractCancelled = 65001,
    kExtractCreateFile = 65002,
    kExtractWriteFile = 65003,
    kExtractConvertName = 65004,
    kExtractCreateDirectory = 65005,
    kExtractOpenArchive = 65006,
    kExtractGlobalInfo = 65007,
    kExtractEntryInfo = 65008,
    kExtractGoToFirst = 65009,
    kExtractGoToNext = 65010,
    kExtractOpenEntry = 65011,
    kExtractReadEntry = 65012,
    kExtractUnsafeName = 65013,
};

// The Windows error (ERROR_REPARSE_POINT_ENCOUNTERED, which MinGW-w64's
// headers lack) when a link (junction or symbolic link) stands in the
// destination tree where the archive puts a folder or a file: extraction
// never writes through one.
constexpr uint32_t kErrorLinkInDestination = 4395;

struct ExtractResult {
    uint32_t code = 0;
    int32_t zipCode = 0;
    win32lib::http::ProgressCallback progress;
};

// On false, code, zipCode and the thread's last error describe the failure.
// Runs on defaultExtractionThreads() threads.
[[nodiscard]] bool extractArchive(ExtractResult &result, const std::wstring &archivePath,
                                  const std::wstring &destination);

// extractArchive with the file entries read by `threads` worker threads.
// The archive is read and checked, and the folders are created, on the
// calling thread before any file is written; the progress callback is only
// ever called on the calling thread. Small files are read and checked in
// memory by some of the threads, then created and written by the others
// (one, or two from four threads on); files too large for that are written
// by whichever thread reads them. One thread writes every file on the
// calling thread, in archive order.
[[nodiscard]] bool extractArchiveOnThreads(ExtractResult &result, const std::wstring &archivePath,
                                           const std::wstring &destination, unsigned threads);

// One thread per logical processor, at most kMaxExtractionThreads.
[[nodiscard]] unsigned defaultExtractionThreads() noexcept;

constexpr unsigned kMaxExtractionThreads = 8;

} // namespace package
