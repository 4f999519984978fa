// Stand-in for the player's updater. The installer runs it once with "-i"
// while it holds the updater mapping; it checks that the install root the
// mapping names is the folder it was unpacked into, and exits 0.
//
// Tests choose another exit code with the environment variable
// KESTRUNE_UPDATER_EXIT_CODE or a file "exit-code.txt" next to the program,
// and make it take its time (registration under way) with
// KESTRUNE_UPDATER_DELAY_MS.

#include "installer/crossProcess.h"
#include "installer/productPaths.h"
#include "win32lib/UniqueResource.h"

#include <windows.h>

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

bool chosenExitCode(const std::wstring &folder, int &code)
{
    wchar_t value[32] = {};
    if (::GetEnvironmentVariableW(L"KESTRUNE_UPDATER_EXIT_CODE", value, 32) > 0) {
        code = std::wcstol(value, nullptr, 10);
        return true;
    }
    win32lib::UniqueFile file(::CreateFileW((folder + L"\\exit-code.txt").c_str(), GENERIC_READ, FILE_SHARE_READ,
                                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return false;
    }
    char text[32] = {};
    DWORD read = 0;
    if (!::ReadFile(file.get(), text, sizeof(text) - 1, &read, nullptr)) {
        return false;
    }
    code = std::atoi(text);
    return true;
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
    wchar_t delay[32] = {};
    if (::GetEnvironmentVariableW(L"KESTRUNE_UPDATER_DELAY_MS", delay, 32) > 0) {
        ::Sleep(static_cast<DWORD>(std::wcstoul(delay, nullptr, 10)));
    }
    const std::wstring folder = moduleFolder();
    int code = 0;
    if (chosenExitCode(folder, code)) {
        return code;
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
