// unelevated_instance.exe [/ELEVATING_ACCOUNT_DIRECT] INSTALLER ARGUMENTS...
//
// Plays the first instance of a silent run that a package manager starts
// without elevation, which Wine cannot produce (every process is elevated
// there). The privilege values the engine reads are a limited token's, the
// log the arguments name is opened and written as the program does it, and
// the engine's hand-over starts INSTALLER, the real program, with the "runas"
// verb as the elevated copy. Ends with the copy's exit code, as the program
// does.
//
// With /ELEVATING_ACCOUNT_DIRECT, once this instance has found its user's
// proxy settings, the prefix's settings become "direct", as the settings of
// another account that elevates the copy would be: the copy must route as
// this instance's user does all the same. The copy then starts with
// CreateProcess instead of "runas", as a child of a suspended instance of
// INSTALLER, since it takes hand-over objects only from an instance of its
// own program.
#include "app/commandLine.h"
#include "app/privileges.h"
#include "installer/Installer.h"
#include "installer/installSteps.h"
#include "telemetry/InstallLog.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/ProxyRouter.h"

#include <windows.h>

#include <shellapi.h>

#include <string>
#include <string_view>
#include <vector>

namespace {

// The user's settings as "direct": nothing configured, no auto-detection.
bool writeDirectProxySettings()
{
    win32lib::UniqueHKey key;
    if (::RegCreateKeyExW(HKEY_CURRENT_USER,
                          L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections", 0, nullptr,
                          0, KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    // Version 0x46, a counter, flags 1 (direct), then the proxy, the bypass
    // list and the PAC address, each an empty length-prefixed text.
    const DWORD settings[14] = {0x46, 2, 1};
    return ::RegSetValueExW(key.get(), L"DefaultConnectionSettings", 0, REG_BINARY,
                            reinterpret_cast<const BYTE *>(settings), sizeof(settings)) == ERROR_SUCCESS;
}

// `commandLine` started suspended or, when `parent` is given, as its child.
uint32_t startProcess(const std::wstring &commandLine, HANDLE parent, win32lib::UniqueHandle &process)
{
    SIZE_T listSize = 0;
    ::InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<unsigned char> listBytes(listSize);
    auto *list = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listBytes.data());
    STARTUPINFOEXW startup = {};
    startup.StartupInfo.cb = sizeof(startup);
    if (parent != nullptr) {
        if (!::InitializeProcThreadAttributeList(list, 1, 0, &listSize) ||
            !::UpdateProcThreadAttribute(list, 0, PROC_THREAD_ATTRIBUTE_PARENT_PROCESS, &parent, sizeof(parent),
                                         nullptr, nullptr)) {
            return ::GetLastError();
        }
        startup.lpAttributeList = list;
    }
    std::wstring mutableCommand = commandLine;
    PROCESS_INFORMATION info = {};
    const BOOL started = ::CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE,
                                          (parent == nullptr ? CREATE_SUSPENDED : 0) | EXTENDED_STARTUPINFO_PRESENT,
                                          nullptr, nullptr, &startup.StartupInfo, &info);
    const DWORD error = ::GetLastError();
    if (parent != nullptr) {
        ::DeleteProcThreadAttributeList(list);
    }
    if (!started) {
        return error;
    }
    ::CloseHandle(info.hThread);
    process.reset(info.hProcess);
    return ERROR_SUCCESS;
}

uint32_t startCopy(const std::wstring &installer, const std::wstring &arguments, win32lib::UniqueHandle &copy)
{
    SHELLEXECUTEINFOW info = {};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_NOCLOSEPROCESS;
    info.lpVerb = L"runas";
    info.lpFile = installer.c_str();
    info.lpParameters = arguments.c_str();
    info.nShow = SW_SHOWNORMAL;
    if (!::ShellExecuteExW(&info)) {
        return ::GetLastError();
    }
    copy.reset(info.hProcess);
    return ERROR_SUCCESS;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    int first = 1;
    const bool elevatingAccountDirect = argc > 1 && std::wstring_view(argv[1]) == L"/ELEVATING_ACCOUNT_DIRECT";
    if (elevatingAccountDirect) {
        if (!win32lib::http::ProxyRouter::instance().settings().configured() || !writeDirectProxySettings()) {
            return ERROR_BAD_ENVIRONMENT;
        }
        ++first;
    }
    if (argc < first + 2) {
        return ERROR_BAD_ARGUMENTS;
    }
    const std::wstring installer = argv[first];
    std::wstring arguments;
    for (int i = first + 1; i < argc; ++i) {
        const std::wstring argument = argv[i];
        arguments += i > first + 1 ? L" " : L"";
        arguments += argument.find(L' ') == std::wstring::npos ? argument : L"\"" + argument + L"\"";
    }
    const app::CommandLine commandLine = app::parseCommandLine(arguments);
    if (!commandLine.badArgument.empty() || !commandLine.silent()) {
        return ERROR_BAD_ARGUMENTS;
    }
    app::storeProcessPrivileges(TokenElevationTypeLimited, 0x2000);
    app::storeCommandLine(commandLine);

    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    if (!commandLine.logPath.empty()) {
        wchar_t fullPath[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameW(commandLine.logPath.c_str(), MAX_PATH, fullPath, nullptr);
        if (length == 0 || length >= MAX_PATH || log.open(fullPath, app::unelevatedUserMayAppend) != ERROR_SUCCESS) {
            return ERROR_INVALID_PARAMETER;
        }
        app::CommandLine withFullPath = commandLine;
        withFullPath.logPath = fullPath;
        app::storeCommandLine(withFullPath);
    }
    log.write(L"Unelevated instance started with \"" + arguments + L"\" (integrity level 0x2000)");

    installer::Installer engine;
    installer::InstallSteps steps = installer::defaultInstallSteps();
    win32lib::UniqueHandle standIn;
    steps.relaunchElevated = [&](const std::wstring &copyArguments, win32lib::UniqueHandle &copy) {
        if (!elevatingAccountDirect) {
            return startCopy(installer, copyArguments, copy);
        }
        const std::wstring program = L"\"" + installer + L"\"";
        const uint32_t error = startProcess(program, nullptr, standIn);
        return error != ERROR_SUCCESS ? error : startProcess(program + L" " + copyArguments, standIn.get(), copy);
    };
    engine.replaceStepsForTesting(steps);
    const unsigned exitCode = engine.runElevatedCopy(app::elevatedCopyArguments(app::processCommandLine()));
    if (standIn) {
        ::TerminateProcess(standIn.get(), 0);
    }
    log.write(L"Unelevated instance ends with exit code " + std::to_wstring(exitCode));
    log.close();
    return static_cast<int>(exitCode);
}
