#pragma once

#include "installer/InstallOptions.h"
#include "package/UpdateInfo.h"
#include "package/extraction.h"
#include "package/installErrorIds.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/ProgressCallback.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace installer {

class MainWindow;

// How a step ended by itself.
enum class StepEnd {
    kContinue,
    kFailed,
    kCancelled,
};

// What is reported for a step that ended with `end`, a stop having been
// confirmed while it ran or not: the rule differs from step to step.
[[nodiscard]] StepEnd reportedStepEnd(InstallStep step, StepEnd end, bool stopConfirmed);

// The work the installer hands to other parts of the program and to the
// system. The program always runs with defaultInstallSteps(); tests swap in
// their own to reach failures the real steps cannot be made to produce.
struct InstallSteps {
    std::function<uint16_t(package::UpdateInfo &)> fetchUpdateInfo;
    std::function<uint16_t(package::UpdateInfo &, const std::wstring &,
                           const Win32Lib::wrappers::http::ProgressCallback &)>
        downloadPackage;
    std::function<std::wstring(unsigned)> makeRandomName;
    std::function<bool(package::ExtractResult &, const std::wstring &, const std::wstring &)> extractArchive;
    std::function<uint16_t(const std::wstring &, const std::wstring &, bool, uint32_t &)> runUpdater;
    std::function<void(uint32_t, uint32_t, uint32_t, uint32_t, uint32_t)> logError;
    std::function<void(uint32_t, int64_t)> logStop;
    std::function<void()> logSuccess;
    // Fills the handle of the started copy when one is known; empty
    // arguments start the copy without any.
    std::function<uint32_t(const std::wstring &arguments, Win32Lib::UniqueHandle &copy)> relaunchElevated;
    std::function<void(const std::wstring &)> openInBrowser;
    std::function<void(const std::wstring &, const std::wstring &)> startUnelevated;
    // The worker thread, created suspended; null with the thread's last
    // error when it cannot be created.
    std::function<HANDLE(LPTHREAD_START_ROUTINE, LPVOID)> createWorkerThread;
};

[[nodiscard]] InstallSteps defaultInstallSteps();

// Percent of a phase done; negative when the total is unknown (-1).
[[nodiscard]] float progressPercent(int64_t total, uint64_t done);
// The bar position to post when the whole percent grew from `oldPercent` to
// `newPercent`, `base` being where the phase starts on the bar.
[[nodiscard]] std::optional<int64_t> progressPosition(float oldPercent, float newPercent, int64_t base);

class AbstractInstaller {
public:
    AbstractInstaller() = default;
    AbstractInstaller(const AbstractInstaller &) = delete;
    AbstractInstaller &operator=(const AbstractInstaller &) = delete;

    // 0, or a process exit code greater than 0.
    virtual unsigned start() = 0;

protected:
    ~AbstractInstaller() = default;
};

class Installer final : public AbstractInstaller {
public:
    Installer();
    // Waits for a worker that still runs: it uses this object to its end.
    ~Installer();

    unsigned start() override;

    // Main thread: the Express Install, START INSTALL and RETRY buttons.
    void beginInstall();
    // Main thread: the window closes on any page but the installing page.
    void finishActions();

    // Worker thread. Returns an install error id, 0 on success.
    [[nodiscard]] uint16_t runInstall();
    static DWORD WINAPI installThreadMain(LPVOID installer) noexcept;

    void setDefaultDestination();

    // Unattended runs (unattended.cpp). An unelevated silent run hands the
    // whole run to an elevated copy started with `arguments` and returns the
    // copy's exit code, or the Windows error of a failed start (1223 when
    // elevation is declined).
    [[nodiscard]] unsigned runElevatedCopy(const std::wstring &arguments);
    // The outcome of a /SILENT run once its window has closed.
    [[nodiscard]] unsigned unattendedResult() const noexcept { return unattendedResult_; }

    [[nodiscard]] InstallOptions &options() noexcept { return options_; }
    [[nodiscard]] HWND mainWindow() const noexcept { return window_; }

    void replaceStepsForTesting(InstallSteps steps) { steps_ = std::move(steps); }
    void useWindowForTesting(HWND window) noexcept { window_ = window; }

private:
    // What the steps of one run share; the outcome of one step.
    struct InstallRun;
    struct StepOutcome;

    [[nodiscard]] HRESULT createMainWindow(int initialPage);

    // Reads the record an unelevated instance left; true when this process
    // continues that installation.
    bool takeOverHandoff();
    void moveToHandedOverRectangle();
    void handOffToElevatedCopy();
    // Starts a run on a new worker once the previous worker has ended; the
    // installing page is shown first when `showInstallingPage`.
    void startWorker(bool showInstallingPage);
    // Waits for the worker, answering what it sends to the window meanwhile.
    void waitForWorker() noexcept;
    // Ends a run whose step threw, as a failure of that step.
    [[nodiscard]] uint16_t reportThrownFailure(DWORD windowsError) noexcept;

    // Unattended runs (unattended.cpp).
    void applyCommandLine();
    [[nodiscard]] unsigned runWithoutWindow();
    [[nodiscard]] bool startUnattendedWorker();
    static DWORD WINAPI unattendedWorkerMain(LPVOID installer) noexcept;

    // The install steps, in the order runInstall takes them.
    [[nodiscard]] StepOutcome checkDestination(InstallRun &run);
    [[nodiscard]] StepOutcome fetchManifest(InstallRun &run);
    [[nodiscard]] StepOutcome checkFreeSpace(InstallRun &run);
    [[nodiscard]] StepOutcome downloadPackage(InstallRun &run);
    [[nodiscard]] StepOutcome extractPackage(InstallRun &run);
    [[nodiscard]] StepOutcome registerProduct(InstallRun &run);
    // When `step` ends the run, reports that end and returns the id the run
    // ends with; nothing otherwise.
    [[nodiscard]] std::optional<uint16_t> reportStepOutcome(InstallStep step, const StepOutcome &outcome);
    [[nodiscard]] uint16_t reportSuccess();

    void reportError(uint32_t step, uint16_t id, uint32_t windowsError, uint32_t extra1, uint32_t extra2,
                     std::optional<int64_t> pageValue = std::nullopt);
    void reportCancelled(uint32_t step, int64_t elapsedMs);
    void closePopup();

    bool onDownloadProgress(int64_t total, uint64_t done);
    bool onExtractProgress(int64_t total, uint64_t done);

    [[nodiscard]] bool cancelRequested() const noexcept { return options_.cancelRequested != 0; }

    InstallOptions options_;
    InstallSteps steps_;
    // Outlives its window handle (the window procedure dispatches to it
    // until WM_NCDESTROY) and goes with the installer.
    std::unique_ptr<MainWindow> mainWindow_;
    HWND window_ = nullptr;
    Win32Lib::UniqueHandle worker_;
    // Worker only: the destination held files of its own before this run.
    bool keepDestination_ = false;
    // Worker only: the step running now, and whether the run's outcome has
    // been reported (logged) already.
    uint32_t currentStep_ = kStepDestination;
    bool outcomeReported_ = false;
    // Written by the worker before it closes the window.
    volatile DWORD unattendedResult_ = 0;
};

} // namespace installer
