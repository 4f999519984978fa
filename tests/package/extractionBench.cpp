// Measures extraction of a package made by tools/make-package.py:
//   extraction_bench.exe ARCHIVE DESTINATION
// Prints the time of the size-summing pass (until the first progress call),
// the whole extraction and its rate, and the cost of walking every entry's
// header with and without the read cache.

#include "package/extraction.h"
#include "package/zipFile.h"
#include "package/zipReadCache.h"

#include <minizip/iowin32.h>

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

double secondsSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now = {};
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceCounter(&now);
    ::QueryPerformanceFrequency(&frequency);
    return static_cast<double>(now.QuadPart - start.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double walkHeaders(const std::wstring &archivePath, bool cached, unsigned &entries)
{
    zlib_filefunc64_def win32 = {};
    fill_win32_filefunc64W(&win32);
    zlib_filefunc64_def functions = cached ? package::cachedFileFunctions(&win32) : win32;
    LARGE_INTEGER start = {};
    ::QueryPerformanceCounter(&start);
    package::UniqueUnzFile archive(::unzOpen2_64(archivePath.c_str(), &functions));
    entries = 0;
    if (!archive) {
        return -1;
    }
    int status = ::unzGoToFirstFile(archive.get());
    while (status == UNZ_OK) {
        unz_file_info64 info = {};
        char name[512];
        if (::unzGetCurrentFileInfo64(archive.get(), &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) {
            return -1;
        }
        ++entries;
        status = ::unzGoToNextFile(archive.get());
    }
    return secondsSince(start);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: extraction_bench ARCHIVE DESTINATION\n");
        return 2;
    }
    const std::wstring archive = argv[1];
    const std::wstring destination = argv[2];

    unsigned entries = 0;
    const double plain = walkHeaders(archive, false, entries);
    const double cached = walkHeaders(archive, true, entries);
    std::printf("headers of %u entries: %.1f ms without cache, %.1f ms with cache\n", entries, plain * 1000,
                cached * 1000);

    ::CreateDirectoryW(destination.c_str(), nullptr);
    LARGE_INTEGER start = {};
    ::QueryPerformanceCounter(&start);
    double firstCall = -1;
    uint64_t bytes = 0;
    package::ExtractResult result;
    result.progress = [&](int64_t, uint64_t done) {
        if (firstCall < 0) {
            firstCall = secondsSince(start);
        }
        bytes = done;
        return false;
    };
    const bool extracted = package::extractArchive(result, archive, destination);
    const double total = secondsSince(start);
    if (!extracted) {
        std::printf("extraction failed: code %u, zip %d, error %lu\n", result.code, result.zipCode, ::GetLastError());
        return 1;
    }
    std::printf("extracted %.1f MB in %.2f s (%.0f MB/s); first progress call after %.1f ms\n", bytes / 1e6, total,
                bytes / 1e6 / total, firstCall * 1000);
    return 0;
}
