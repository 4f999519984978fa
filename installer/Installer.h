#pragma once

#include "app/commandLine.h"
#include "installer/InstallOptions.h"
#include "installer/InstallerCommands.h"
#include "installer/InstallerEvents.h"
#include "installer/installSteps.h"
#include "installer/worker.h"

#include <windows.h>

#include <memory>
#include <string>

namespace installer {

// The engine: the pages' choices, the runs on the worker thread and the
// elevation hand-off. It knows no window: it tells what happens through
// InstallerEvents and takes the window's requests as InstallerCommands.
class Installer final : public InstallerCommands {
public:
    Installer();
    // Waits for a worker that still runs: it uses this object to its end.
    ~Installer();
    Installer(const Installer &) = delete;
    Installer &operator=(const Installer &) = delete;

    // The Express destination, then what the command line chose.
    void takeCommandLine(const app::CommandLine &commandLine);
    void setDefaultDestination();
    // Reads the record an unelevated instance left; true when this process
    // continues that installation.
    [[nodiscard]] bool takeOverHandoff();
    // A silent copy takes only the proxy route its starter left.
    void takeOverProxyRoute();
    // Whoever shows the installation; nobody when null.
    void setEvents(std::shared_ptr<InstallerEvents> events) noexcept { events_ = std::move(events); }

    [[nodiscard]] InstallOptions &options() noexcept override { return options_; }
    [[nodiscard]] BeginOutcome beginInstall(const RECT &windowRect) override;
    void requestStop() noexcept override { options_.cancelRequested = 1; }
    void finish() override;

    // Continues a run handed over by an unelevated instance, whose window
    // opens on the installing page.
    void resumeHandedOverRun() { startWorker(false); }
    // A /VERYSILENT run: the whole run on this thread. Returns its exit code.
    [[nodiscard]] unsigned runWithoutWindow();
    // A /SILENT run on the worker; the window closes when it has ended.
    [[nodiscard]] bool startUnattendedRun();
    // Waits for the worker, which may still remove what a failed run left
    // when the window has closed already; then the exit code of a /SILENT
    // run (0 for any other run).
    [[nodiscard]] unsigned waitForRunEnd() noexcept;
    // An unelevated silent run hands the whole run to an elevated copy.
    [[nodiscard]] unsigned runElevatedCopy(const std::wstring &arguments);

    void replaceStepsForTesting(InstallSteps steps) { steps_ = std::move(steps); }

private:
    // Starts a run on a new worker once the previous worker has ended; the
    // window is told first when `announce`.
    void startWorker(bool announce);
    static DWORD WINAPI runThreadMain(LPVOID installer) noexcept;
    static DWORD WINAPI unattendedThreadMain(LPVOID installer) noexcept;

    InstallOptions options_;
    InstallSteps steps_;
    std::shared_ptr<InstallerEvents> events_;
    // Written by the worker at its end; read once it has ended.
    DWORD unattendedResult_ = 0;
    // Last, so that it goes first: the worker uses everything above.
    Worker worker_;
};

} // namespace installer
