// Stand-in for the player's updater. The installer runs it once with "-i"
// while it holds the updater mapping; it checks that the install root the
// mapping names is the folder it was unpacked into, and exits 0.
//
// The installer starts it with the system's environment, so tests steer it
// with files next to the program: "exit-code.txt" chooses another exit code,
// "delay-ms.txt" makes it take its time (registration under way), and
// "report-start.txt" (holding a handle value in decimal) makes it write how
// it was started to "started.txt": its current folder, whether that handle
// is open in it, and the variable KESTRUNE_TEST_USER_VARIABLE.

#include "installer/crossProcess.h"
#include "installer/productPaths.h"
#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <cstdlib>
#include <cwchar>
#include <string>

namespace {

enum ExitCode : int {
    kSuccess = 0,
    kMissingArgument = 10,
    kNoMapping = 11,
    kWrongInstallRoot = 12,
};

std::wstring moduleFolder()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    folder.erase(folder.find_last_of(L'\\'));
    return folder;
}

std::wstring parentOf(const std::wstring &path)
{
    const size_t separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

// The text of a small file next to the program; false when there is none.
bool readControlFile(const std::wstring &path, std::string &text)
{
    win32lib::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    char buffer[64] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), buffer, sizeof(buffer) - 1, &read, nullptr)) {
        return false;
    }
    text.assign(buffer, read);
    return true;
}

void reportStart(const std::wstring &folder, const std::string &handleText)
{
    wchar_t current[MAX_PATH] = {};
    const DWORD currentLength = ::GetCurrentDirectoryW(MAX_PATH, current);
    const auto handle =
        reinterpret_cast<HANDLE>(static_cast<uintptr_t>(std::strtoull(handleText.c_str(), nullptr, 10)));
    DWORD flags = 0;
    const bool inherited = ::GetHandleInformation(handle, &flags) != FALSE;
    wchar_t variable[64] = {};
    const DWORD variableLength = ::GetEnvironmentVariableW(L"KESTRUNE_TEST_USER_VARIABLE", variable, 64);
    const std::wstring report = L"current-folder=" +
                                std::wstring(current, currentLength < MAX_PATH ? currentLength : 0) +
                                L"\ninherited-handle=" + (inherited ? L"yes" : L"no") + L"\nuser-variable=" +
                                std::wstring(variable, variableLength < 64 ? variableLength : 0) + L"\n";
    win32lib::UniqueFile file(::CreateFileW((folder + L"\\started.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) {
        ::WriteFile(file.get(), report.data(), static_cast<DWORD>(report.size() * sizeof(wchar_t)), &written, nullptr);
    }
}

bool readInstallRoot(std::wstring &root)
{
    win32lib::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, installer::kUpdaterMappingName));
    if (!mapping) {
        return false;
    }
    win32lib::UniqueMappedView view(
        ::MapViewOfFile(mapping.get(), FILE_MAP_READ, 0, 0, installer::kUpdaterMappingSize));
    if (!view) {
        return false;
    }
    const auto *text = static_cast<const wchar_t *>(view.get());
    root.assign(text, ::wcsnlen(text, installer::kUpdaterMappingSize / sizeof(wchar_t)));
    return true;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const std::wstring folder = moduleFolder();
    std::string text;
    if (readControlFile(folder + L"\\report-start.txt", text)) {
        reportStart(folder, text);
    }
    if (readControlFile(folder + L"\\delay-ms.txt", text)) {
        ::Sleep(static_cast<DWORD>(std::strtoul(text.c_str(), nullptr, 10)));
    }
    if (readControlFile(folder + L"\\exit-code.txt", text)) {
        return std::atoi(text.c_str());
    }
    if (argc < 2 || std::wcscmp(argv[1], L"-i") != 0) {
        return kMissingArgument;
    }
    std::wstring root;
    if (!readInstallRoot(root)) {
        return kNoMapping;
    }
    const std::wstring expected = parentOf(folder);
    if (::CompareStringOrdinal(root.c_str(), static_cast<int>(root.size()), expected.c_str(),
                               static_cast<int>(expected.size()), TRUE) != CSTR_EQUAL) {
        return kWrongInstallRoot;
    }
    return kSuccess;
}
