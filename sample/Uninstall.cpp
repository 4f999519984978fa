// Stand-in uninstaller: removes what the installer registered (uninstall
// entry, vendor key, shortcuts) and the install folder.
//
// It is installed as <root>\Kestrune\<version>\Uninstall.exe, inside the
// folder it deletes, and Windows keeps a running program's file and current
// folder in use. So it copies itself to the temporary folder, starts the
// copy with the install root and its own process id, and ends; the copy
// waits for it to end, does the work, and has itself deleted at the next
// restart.

#include "installer/productPaths.h"
#include "win32lib/UniqueResource.h"

#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cwchar>
#include <string>

namespace {

constexpr wchar_t kCleanupSwitch[] = L"/cleanup";
constexpr DWORD kWaitForOriginalMs = 30000;

enum ExitCode : int {
    kSuccess = 0,
    kNotInstalledLayout = 2,
    kCopyFailed = 3,
    kStartFailed = 4,
    kSomethingLeft = 5,
};

std::wstring parentOf(const std::wstring &path)
{
    const size_t separator = path.find_last_of(L'\\');
    return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator);
}

bool isFolder(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::wstring ownPath()
{
    wchar_t path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
    return std::wstring(path, length);
}

int startCleanupCopy()
{
    const std::wstring self = ownPath();
    // <root>\Kestrune\<version>\Uninstall.exe
    const std::wstring root = parentOf(parentOf(parentOf(self)));
    if (root.empty() || !isFolder(installer::productFolder(root))) {
        return kNotInstalledLayout;
    }
    wchar_t temporary[MAX_PATH] = {};
    const DWORD temporaryLength = ::GetTempPathW(MAX_PATH, temporary);
    if (temporaryLength == 0 || temporaryLength >= MAX_PATH) {
        return kCopyFailed;
    }
    const std::wstring temporaryFolder(temporary, temporaryLength);
    const std::wstring copy =
        temporaryFolder + L"KestruneUninstall-" + std::to_wstring(::GetCurrentProcessId()) + L".exe";
    if (!::CopyFileW(self.c_str(), copy.c_str(), FALSE)) {
        return kCopyFailed;
    }
    std::wstring commandLine = L"\"" + copy + L"\" " + kCleanupSwitch + L" " +
                               std::to_wstring(::GetCurrentProcessId()) + L" \"" + root + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, temporaryFolder.c_str(),
                          &startup, &started)) {
        ::DeleteFileW(copy.c_str());
        return kStartFailed;
    }
    win32lib::UniqueHandle process(started.hProcess);
    win32lib::UniqueHandle thread(started.hThread);
    return kSuccess;
}

bool deleteShortcut(REFKNOWNFOLDERID folder)
{
    win32lib::UniqueCoTaskMem<wchar_t> folderPath;
    if (FAILED(::SHGetKnownFolderPath(folder, 0, nullptr, folderPath.put()))) {
        return false;
    }
    const std::wstring link = std::wstring(folderPath.get()) + L"\\" + installer::kShortcutFile;
    return ::DeleteFileW(link.c_str()) || ::GetLastError() == ERROR_FILE_NOT_FOUND;
}

bool deleteRegistryTree(const wchar_t *key)
{
    // Removes the key itself together with everything below it.
    const LSTATUS status = ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, key);
    return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool deleteFolder(const std::wstring &path)
{
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR | FOF_NOERRORUI;
    return ::SHFileOperationW(&operation) == 0 && !isFolder(path);
}

int cleanUp(DWORD originalProcessId, const std::wstring &root)
{
    win32lib::UniqueHandle original(::OpenProcess(SYNCHRONIZE, FALSE, originalProcessId));
    if (original) {
        ::WaitForSingleObject(original.get(), kWaitForOriginalMs);
    }
    bool complete = deleteRegistryTree(installer::kUninstallKey);
    complete &= deleteRegistryTree(installer::kVendorKey);
    // Only goes when no other product of the vendor left keys in it.
    ::RegDeleteKeyW(HKEY_LOCAL_MACHINE, installer::kVendorParentKey);

    const win32lib::ScopedComInitializer com;
    complete &= deleteShortcut(FOLDERID_CommonPrograms);
    complete &= deleteShortcut(FOLDERID_PublicDesktop);

    if (isFolder(installer::productFolder(root))) {
        complete &= deleteFolder(root);
    }
    // A running program cannot delete its own file.
    ::MoveFileExW(ownPath().c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
    return complete ? kSuccess : kSomethingLeft;
}

} // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int)
{
    int argumentCount = 0;
    win32lib::UniqueLocalMemory arguments(::CommandLineToArgvW(::GetCommandLineW(), &argumentCount));
    const auto *argv = static_cast<wchar_t **>(arguments.get());
    if (argv != nullptr && argumentCount == 4 && std::wcscmp(argv[1], kCleanupSwitch) == 0) {
        return cleanUp(static_cast<DWORD>(std::wcstoul(argv[2], nullptr, 10)), argv[3]);
    }
    return startCleanupCopy();
}
