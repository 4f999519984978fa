// unelevated_instance.exe INSTALLER ARGUMENTS...
//
// Plays the first instance of a silent run that a package manager starts
// without elevation, which Wine cannot produce (every process is elevated
// there). The privilege values the engine reads are a limited token's, the
// log the arguments name is opened and written as the program does it, and
// the engine's hand-over starts INSTALLER, the real program, with the "runas"
// verb as the elevated copy. Ends with the copy's exit code, as the program
// does.
#include "app/commandLine.h"
#include "app/privileges.h"
#include "installer/Installer.h"
#include "installer/installSteps.h"
#include "telemetry/InstallLog.h"
#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <shellapi.h>

#include <string>

namespace {

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
    if (argc < 3) {
        return ERROR_BAD_ARGUMENTS;
    }
    const std::wstring installer = argv[1];
    std::wstring arguments;
    for (int i = 2; i < argc; ++i) {
        const std::wstring argument = argv[i];
        arguments += i > 2 ? L" " : L"";
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
    steps.relaunchElevated = [&installer](const std::wstring &copyArguments, win32lib::UniqueHandle &copy) {
        return startCopy(installer, copyArguments, copy);
    };
    engine.replaceStepsForTesting(steps);
    const unsigned exitCode = engine.runElevatedCopy(app::elevatedCopyArguments(app::processCommandLine()));
    log.write(L"Unelevated instance ends with exit code " + std::to_wstring(exitCode));
    log.close();
    return static_cast<int>(exitCode);
}
