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

struct ExtractResult {
    uint32_t code = 0;
    int32_t zipCode = 0;
    Win32Lib::wrappers::http::ProgressCallback progress;
};

// On false, code, zipCode and the thread's last error describe the failure.
[[nodiscard]] bool extractArchive(ExtractResult &result, const std::wstring &archivePath,
                                  const std::wstring &destination);

} // namespace package
