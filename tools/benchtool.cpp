// Times the installer's own download and extraction code on given inputs,
// for the benchmark scripts in bench/. Prints one line of key=value pairs.
//   kestrune_bench download URL FILE
//   kestrune_bench extract ZIP FOLDER [THREADS]
//   kestrune_bench install URL FOLDER [THREADS]   (download into FOLDER, then unpack)
//   kestrune_bench floor ZIP FOLDER [THREADS]     (the archive's files written from memory)
//   kestrune_bench decode ZIP FOLDER              (every entry read and decoded into nothing, 1 thread)
//   kestrune_bench proxy URL   (find the proxy settings and URL's route, once, as a run does)
// THREADS: extraction threads; the installer's default without it.
// `floor` writes the same folders and files with the same sizes as `extract`,
// with no archive to read and nothing to inflate: the file system's own cost,
// which no extractor can beat on that machine.
#include "package/download.h"
#include "package/entryReader.h"
#include "package/extraction.h"
#include "package/zipFile.h"
#include "tools/benchClock.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/ProxyRouter.h"

#include <minizip/unzip.h>

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cwchar>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace {

struct FloorFile {
    std::wstring path;
    uint64_t size = 0;
};

struct FloorPlan {
    std::vector<std::wstring> folders; // parents before children
    std::vector<FloorFile> files;      // archive order
};

// minizip's own file functions, which take the name in UTF-8.
package::UniqueUnzFile openArchive(const std::wstring &archive)
{
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, archive.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string path(static_cast<size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, archive.c_str(), -1, path.data(), length, nullptr, nullptr);
    return package::UniqueUnzFile(::unzOpen64(path.c_str()));
}

// The archive's listing only: names and uncompressed sizes, read before the
// clock starts.
bool planFloor(const std::wstring &archive, const std::wstring &folder, FloorPlan &plan)
{
    const package::UniqueUnzFile archiveFile = openArchive(archive);
    unzFile zip = archiveFile.get();
    if (zip == nullptr) {
        return false;
    }
    std::set<std::wstring> folders;
    for (int status = ::unzGoToFirstFile(zip); status == UNZ_OK; status = ::unzGoToNextFile(zip)) {
        unz_file_info64 info = {};
        char name[512] = {};
        if (::unzGetCurrentFileInfo64(zip, &info, name, sizeof(name), nullptr, 0, nullptr, 0) != UNZ_OK) {
            return false;
        }
        std::wstring entry(name, name + std::char_traits<char>::length(name));
        std::replace(entry.begin(), entry.end(), L'/', L'\\');
        const bool isFolder = !entry.empty() && entry.back() == L'\\';
        for (size_t slash = entry.find(L'\\'); slash != std::wstring::npos; slash = entry.find(L'\\', slash + 1)) {
            folders.insert(folder + L"\\" + entry.substr(0, slash));
        }
        if (!isFolder) {
            plan.files.push_back({folder + L"\\" + entry, info.uncompressed_size});
        }
    }
    // A set orders a parent before its children.
    plan.folders.assign(folders.begin(), folders.end());
    return true;
}

bool writeFloorFile(const FloorFile &file, const std::vector<char> &block)
{
    win32lib::UniqueFile handle(
        ::CreateFileW(file.path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        return false;
    }
    for (uint64_t left = file.size; left > 0;) {
        const DWORD chunk = static_cast<DWORD>(std::min<uint64_t>(left, block.size()));
        DWORD written = 0;
        if (!::WriteFile(handle.get(), block.data(), chunk, &written, nullptr) || written != chunk) {
            return false;
        }
        left -= chunk;
    }
    return true;
}

int floor(const std::wstring &archive, const std::wstring &folder, unsigned threads, double &elapsed)
{
    ::CreateDirectoryW(folder.c_str(), nullptr);
    FloorPlan plan;
    if (!planFloor(archive, folder, plan)) {
        return 1;
    }
    const std::vector<char> block(65536, 'k');
    const double start = nowMs();
    for (const std::wstring &path : plan.folders) {
        if (!::CreateDirectoryW(path.c_str(), nullptr) && ::GetLastError() != ERROR_ALREADY_EXISTS) {
            return 1;
        }
    }
    std::atomic<size_t> next{0};
    std::atomic<bool> failed{false};
    const auto work = [&] {
        for (size_t index = next++; index < plan.files.size() && !failed; index = next++) {
            if (!writeFloorFile(plan.files[index], block)) {
                failed = true;
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned worker = 1; worker < std::max(threads, 1u); ++worker) {
        workers.emplace_back(work);
    }
    work();
    for (std::thread &worker : workers) {
        worker.join();
    }
    elapsed = nowMs() - start;
    return failed ? 1 : 0;
}

// The decoding alone, which the file system's floor leaves out: what one
// thread spends inflating the archive whatever the disk.
int decode(const std::wstring &archive, double &elapsed)
{
    const package::UniqueUnzFile archiveFile = openArchive(archive);
    unzFile zip = archiveFile.get();
    if (zip == nullptr) {
        return 1;
    }
    const auto entry = std::make_unique<package::EntryReader>();
    std::vector<char> block(65536);
    int result = 0;
    const double start = nowMs();
    for (int status = ::unzGoToFirstFile(zip); status == UNZ_OK && result == 0; status = ::unzGoToNextFile(zip)) {
        if (entry->open(zip) != UNZ_OK) {
            result = 1;
            break;
        }
        int count = 0;
        while ((count = entry->read(block.data(), static_cast<unsigned>(block.size()))) > 0) {
        }
        if (entry->close() != UNZ_OK || count < 0) {
            result = 1;
        }
    }
    elapsed = nowMs() - start;
    return result;
}

int download(const wchar_t *url, const std::wstring &file, double &elapsed)
{
    package::UpdateInfo info;
    wcsncpy_s(info.downloadUrl, std::size(info.downloadUrl), url, _TRUNCATE);
    const double start = nowMs();
    const uint16_t result = package::downloadPackage(info, file, [](int64_t, uint64_t) { return false; });
    elapsed = nowMs() - start;
    return result;
}

int extract(const std::wstring &archive, const std::wstring &folder, unsigned threads, double &elapsed)
{
    ::CreateDirectoryW(folder.c_str(), nullptr);
    package::ExtractResult result;
    result.progress = [](int64_t, uint64_t) { return false; };
    const double start = nowMs();
    const bool ok = package::extractArchiveOnThreads(result, archive, folder, threads);
    elapsed = nowMs() - start;
    return ok ? 0 : static_cast<int>(result.code);
}

// What proxy discovery adds to a run before its first request.
int findRoute(const std::wstring &url)
{
    URL_COMPONENTS parts{};
    wchar_t scheme[16] = {};
    wchar_t host[256] = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszScheme = scheme;
    parts.dwSchemeLength = static_cast<DWORD>(std::size(scheme));
    parts.lpszHostName = host;
    parts.dwHostNameLength = static_cast<DWORD>(std::size(host));
    if (!::WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) {
        return 2;
    }
    auto &router = win32lib::http::ProxyRouter::instance();
    const double start = nowMs();
    const win32lib::http::ProxySettings settings = router.settings();
    const double discovered = nowMs();
    const std::wstring proxy = router.proxyFor(url, scheme, host);
    const double routed = nowMs();
    std::printf("discovery_ms=%.1f route_ms=%.1f configured=%d route=%ls\n", discovered - start, routed - discovered,
                settings.configured() ? 1 : 0, proxy.empty() ? L"DIRECT" : proxy.c_str());
    return 0;
}

// User and kernel time of all the process's threads so far: on a busy
// machine it says more about the code than the wall clock does.
double processCpuMs()
{
    FILETIME created = {};
    FILETIME exited = {};
    FILETIME kernel = {};
    FILETIME user = {};
    if (!::GetProcessTimes(::GetCurrentProcess(), &created, &exited, &kernel, &user)) {
        return 0.0;
    }
    const auto ticks = [](const FILETIME &time) {
        return (static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) / 10000.0;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    win32lib::ScopedComInitializer com;
    if (argc == 3 && std::wstring(argv[1]) == L"proxy") {
        return findRoute(argv[2]);
    }
    if (argc != 4 && argc != 5) {
        std::fwprintf(stderr,
                      L"usage: kestrune_bench download URL FILE | extract ZIP FOLDER [THREADS] | floor ZIP FOLDER "
                      L"[THREADS] | decode ZIP FOLDER | install URL FOLDER [THREADS] | proxy URL\n");
        return 2;
    }
    const unsigned threads =
        argc == 5 ? static_cast<unsigned>(std::wcstoul(argv[4], nullptr, 10)) : package::defaultExtractionThreads();
    const std::wstring command = argv[1];
    double downloadMs = 0.0;
    double extractMs = 0.0;
    int result = 0;
    if (command == L"download") {
        result = download(argv[2], argv[3], downloadMs);
    } else if (command == L"extract") {
        result = extract(argv[2], argv[3], threads, extractMs);
    } else if (command == L"decode") {
        result = decode(argv[2], extractMs);
    } else if (command == L"floor") {
        result = floor(argv[2], argv[3], threads, extractMs);
    } else if (command == L"install") {
        const std::wstring folder = argv[3];
        ::CreateDirectoryW(folder.c_str(), nullptr);
        const std::wstring packagePath = folder + L"\\package.zip";
        result = download(argv[2], packagePath, downloadMs);
        if (result == 0) {
            result = extract(packagePath, folder, threads, extractMs);
            ::DeleteFileW(packagePath.c_str());
        }
    } else {
        return 2;
    }
    std::printf("result=%d threads=%u download_ms=%.1f extract_ms=%.1f cpu_ms=%.1f\n", result, threads, downloadMs,
                extractMs, processCpuMs());
    return result == 0 ? 0 : 1;
}
