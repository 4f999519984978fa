#include "installer/unattended.h"

#include "app/commandLine.h"
#include "installer/Installer.h"
#include "package/installErrorIds.h"
#include "telemetry/InstallLog.h"

#include <string>

namespace installer {

const wchar_t *stepName(uint32_t step)
{
    for (const InstallStepName &known : kInstallStepNames) {
        if (known.step == step) {
            return known.name;
        }
    }
    return L"unknown step";
}

void logRunStarted(const InstallOptions &options)
{
    telemetry::InstallLog::instance().write(L"Installing into " + options.destination + L", desktop shortcut " +
                                            (options.createDesktopShortcut != 0 ? L"yes" : L"no"));
}

void logStepStarted(uint32_t step)
{
    telemetry::InstallLog::instance().beginStep(step, stepName(step));
}

void Installer::applyCommandLine()
{
    const app::CommandLine &commandLine = app::processCommandLine();
    if (!commandLine.destination.empty()) {
        options_.destination = commandLine.destination;
    }
    if (commandLine.noDesktopShortcut) {
        options_.createDesktopShortcut = 0;
    }
    // An administrator deploying the product wants nothing started in their
    // session, nor in SYSTEM's.
    if (commandLine.silent()) {
        options_.startWhenFinished = 0;
    }
}

unsigned Installer::runWithoutWindow()
{
    // No window means no message loop is needed: the run happens right here.
    const DWORD result = installThreadMain(this);
    telemetry::InstallLog::instance().endStep();
    return result;
}

bool Installer::startUnattendedWorker()
{
    // Owned like any run's worker, so the Installer outlives it.
    options_.cancelRequested = 0;
    worker_.reset(steps_.createWorkerThread(unattendedWorkerMain, this));
    if (!worker_) {
        return false;
    }
    ::ResumeThread(worker_.get());
    return true;
}

DWORD WINAPI Installer::unattendedWorkerMain(LPVOID parameter) noexcept
{
    auto &installer = *static_cast<Installer *>(parameter);
    const DWORD result = installThreadMain(parameter);
    telemetry::InstallLog::instance().endStep();
    installer.unattendedResult_ = result;
    // Posted after the finish or error page, so the window closes from that
    // page, without waiting for a click.
    ::PostMessageW(installer.window_, WM_CLOSE, 0, 0);
    return result;
}

unsigned Installer::runElevatedCopy(const std::wstring &arguments)
{
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    log.write(L"Not elevated: starting an elevated copy");
    Win32Lib::UniqueHandle copy;
    const uint32_t error = steps_.relaunchElevated(arguments, copy);
    if (error == ERROR_CANCELLED) {
        log.write(L"Elevation was declined");
        return error;
    }
    if (error != ERROR_SUCCESS) {
        log.write(L"The elevated copy could not be started, Windows error " + std::to_wstring(error));
        return error;
    }
    if (!copy) {
        log.write(L"The elevated copy cannot be waited for");
        return ERROR_INVALID_HANDLE;
    }
    ::WaitForSingleObject(copy.get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(copy.get(), &exitCode)) {
        return ::GetLastError();
    }
    log.write(L"The elevated copy ended with exit code " + std::to_wstring(exitCode));
    return exitCode;
}

} // namespace installer
