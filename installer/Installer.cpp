#include "installer/Installer.h"

#include "app/privileges.h"
#include "installer/elevationHandoff.h"
#include "installer/productPaths.h"
#include "installer/reporting.h"
#include "installer/siteAddresses.h"
#include "installer/startup.h"
#include "telemetry/InstallLog.h"

namespace installer {

Installer::Installer() : steps_(defaultInstallSteps())
{
}

Installer::~Installer()
{
    worker_.wait();
}

void Installer::takeCommandLine(const app::CommandLine &commandLine)
{
    setDefaultDestination();
    applyCommandLine(commandLine, options_);
}

void Installer::setDefaultDestination()
{
    if (std::wstring destination = defaultDestination(); !destination.empty()) {
        options_.destination = std::move(destination);
    }
}

bool Installer::takeOverHandoff()
{
    return installer::takeOverHandoff(options_);
}

void Installer::takeOverProxyRoute()
{
    if (installer::takeOverProxyRoute()) {
        telemetry::InstallLog::instance().write(L"Proxy settings: those of the instance that started this one");
    }
}

BeginOutcome Installer::beginInstall(const RECT &windowRect)
{
    if (app::isElevatedLevel(app::processIntegrityLevel())) {
        startWorker(true);
        return BeginOutcome::kStarted;
    }
    return handOffToElevatedCopy(options_, windowRect, steps_);
}

void Installer::finish()
{
    // Silent runs start nothing afterwards, no web page either.
    if (options_.installSucceeded == 0 || app::runMode() != app::RunMode::kInteractive) {
        return;
    }
    steps_.openInBrowser(finishPageAddress().get());
    if (options_.startWhenFinished != 0) {
        steps_.startUnelevated(launcherPath(options_.destination), productFolder(options_.destination));
    }
}

void Installer::startWorker(bool announce)
{
    // The previous run may still be removing what it left: the new run's
    // destination check must not see that, nor the old clean-up the new run.
    worker_.wait();
    // A stop confirmed while the previous run reported its end is over.
    options_.cancelRequested = 0;
    if (!worker_.create(steps_, runThreadMain, this)) {
        const DWORD error = ::GetLastError();
        RunReporter(steps_, options_, events_)
            .failed({.step = kStepDestination, .id = kErrorCreateDestination, .windowsError = error});
        return;
    }
    if (announce && events_) {
        events_->runStarting();
    }
    worker_.resume();
}

DWORD WINAPI Installer::runThreadMain(LPVOID parameter) noexcept
{
    auto &installer = *static_cast<Installer *>(parameter);
    return runOnWorker(installer.steps_, installer.options_, installer.events_);
}

unsigned Installer::runWithoutWindow()
{
    // No window means no message loop is needed: the run happens right here.
    const DWORD result = runOnWorker(steps_, options_, nullptr);
    telemetry::InstallLog::instance().endStep();
    return result;
}

bool Installer::startUnattendedRun()
{
    options_.cancelRequested = 0;
    if (!worker_.create(steps_, unattendedThreadMain, this)) {
        return false;
    }
    worker_.resume();
    return true;
}

DWORD WINAPI Installer::unattendedThreadMain(LPVOID parameter) noexcept
{
    auto &installer = *static_cast<Installer *>(parameter);
    const DWORD result = runOnWorker(installer.steps_, installer.options_, installer.events_);
    telemetry::InstallLog::instance().endStep();
    installer.unattendedResult_ = result;
    // After the finish or error page, so the window closes from that page,
    // without waiting for a click.
    if (installer.events_) {
        installer.events_->unattendedRunEnded();
    }
    return result;
}

unsigned Installer::waitForRunEnd() noexcept
{
    worker_.wait();
    return unattendedResult_;
}

unsigned Installer::runElevatedCopy(const std::wstring &arguments)
{
    return installer::runElevatedCopy(steps_, arguments);
}

} // namespace installer
