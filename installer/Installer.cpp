#include "installer/Installer.h"

#include "app/commandLine.h"
#include "app/exitCodes.h"
#include "app/initFailure.h"
#include "app/privileges.h"
#include "app/resourceIds.h"
#include "app/singleInstance.h"
#include "app/strings.h"
#include "installer/PageData.h"
#include "installer/crossProcess.h"
#include "installer/errorModel.h"
#include "installer/fileSystem.h"
#include "installer/folderSecurity.h"
#include "installer/launching.h"
#include "installer/productPaths.h"
#include "installer/registry.h"
#include "installer/siteAddresses.h"
#include "installer/unattended.h"
#include "package/download.h"
#include "package/installErrors.h"
#include "package/manifest.h"
#include "telemetry/InstallLog.h"
#include "telemetry/OperationsLogger.h"
#include "ui/MainWindow.h"
#include "ui/ShowMessageBox.h"
#include "win32lib/wordSize.h"

#include <shellapi.h>
#include <shlobj.h>

#include <cmath>
#include <cwchar>
#include <io.h>
#include <memory>
#include <new>

namespace installer {
namespace {

constexpr wchar_t kPackageExtension[] = L".zip";
// Nine random characters and the terminator.
constexpr unsigned kPackageNameLength = 10;
constexpr int kWriteAccess = 2;

void showPage(HWND window, int page)
{
    if (window == nullptr) {
        return;
    }
    ::PostMessageW(window, kMsgShowView, static_cast<WPARAM>(page), 0);
}

// Milliseconds between two performance-counter readings.
class StepTimer {
public:
    explicit StepTimer(int64_t frequency) noexcept : frequency_(frequency) {}
    void start() noexcept { ::QueryPerformanceCounter(&begin_); }
    void stop() noexcept { ::QueryPerformanceCounter(&end_); }
    [[nodiscard]] int64_t elapsedMs() const noexcept
    {
        return frequency_ > 0 ? (end_.QuadPart - begin_.QuadPart) * 1000 / frequency_ : 0;
    }

private:
    int64_t frequency_;
    LARGE_INTEGER begin_ = {};
    LARGE_INTEGER end_ = {};
};

int64_t counterFrequency() noexcept
{
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceFrequency(&frequency);
    return frequency.QuadPart;
}

// How a stop confirmed while a step ran weighs against the step's own end.
enum class CancelRule {
    // A stop is reported whatever the step's end.
    kStopWins,
    // A failure of the step is reported; a step that stopped itself, or a
    // stop confirmed after a step that succeeded, is reported as a cancel.
    kFailureWins,
    // No stop is looked for after the step.
    kNotChecked,
};

CancelRule cancelRuleAfter(InstallStep step)
{
    switch (step) {
    case kStepDestination:
    case kStepManifest:
        return CancelRule::kStopWins;
    case kStepDownload:
    case kStepExtraction:
        return CancelRule::kFailureWins;
    case kStepFreeSpace:
    case kStepRegistration:
        // The download after the free-space check looks for a stop itself;
        // once the extraction has finished, the install runs to its end.
        break;
    }
    return CancelRule::kNotChecked;
}

struct PopupSearch {
    HWND owner;
    HWND popup;
};

BOOL CALLBACK findEnabledPopup(HWND window, LPARAM parameter) noexcept
{
    auto *search = reinterpret_cast<PopupSearch *>(parameter);
    if (window != search->owner && ::GetWindow(window, GW_OWNER) == search->owner && ::IsWindowEnabled(window) &&
        ::IsWindowVisible(window)) {
        search->popup = window;
        return FALSE;
    }
    return TRUE;
}

// The enabled popup owned by `owner`, if one is open.
HWND enabledPopup(HWND owner)
{
    // Without an enabled popup, GetWindow answers with the window itself;
    // some systems (Wine) answer nothing at all, so the owner's thread is
    // searched as well.
    const HWND popup = ::GetWindow(owner, GW_ENABLEDPOPUP);
    if (popup != nullptr && popup != owner) {
        return popup;
    }
    PopupSearch search{owner, nullptr};
    ::EnumThreadWindows(::GetWindowThreadProcessId(owner, nullptr), findEnabledPopup,
                        reinterpret_cast<LPARAM>(&search));
    return search.popup;
}

// The id a run ends with when something in `step` threw.
uint16_t thrownFailure(uint32_t step)
{
    switch (step) {
    case kStepManifest:
        return kErrorBadManifest;
    case kStepFreeSpace:
        return kErrorNoFreeSpace;
    case kStepDownload:
        return kErrorDownloadInterrupted;
    case kStepExtraction:
        return kErrorArchive;
    case kStepRegistration:
        return kErrorStartUpdater;
    default:
        return kErrorCreateDestination;
    }
}

HANDLE createSuspendedThread(LPTHREAD_START_ROUTINE routine, LPVOID parameter)
{
    return ::CreateThread(nullptr, 0, routine, parameter, CREATE_SUSPENDED, nullptr);
}

void startUnelevated(const std::wstring &file, const std::wstring &folder)
{
    // Whether the player started is not the installer's concern any more.
    (void)shellExecuteUnelevated(file.c_str(), folder.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace

StepEnd reportedStepEnd(InstallStep step, StepEnd end, bool stopConfirmed)
{
    switch (cancelRuleAfter(step)) {
    case CancelRule::kStopWins:
        return stopConfirmed ? StepEnd::kCancelled : end;
    case CancelRule::kFailureWins:
        return end == StepEnd::kContinue && stopConfirmed ? StepEnd::kCancelled : end;
    case CancelRule::kNotChecked:
        break;
    }
    return end;
}

struct Installer::InstallRun {
    explicit InstallRun(std::wstring destination) : destination(std::move(destination)) {}

    // Taken once: every step works on the folder the first one checked.
    const std::wstring destination;
    StepTimer timer{counterFrequency()};
    package::UpdateInfo info;
    std::wstring packagePath;
};

struct Installer::StepOutcome {
    StepEnd end = StepEnd::kContinue;
    // A failure's record: telemetry is told all of it, the error page the id
    // and `pageValue`, which is the Windows error unless given.
    uint16_t id = kInstallOk;
    uint32_t windowsError = 0;
    uint32_t extra1 = 0;
    uint32_t extra2 = 0;
    std::optional<int64_t> pageValue = std::nullopt;
    // What a cancel reports as the step's duration.
    int64_t elapsedMs = 0;

    // A request that failed, told with its Windows and TLS errors and which
    // request it was: 1 the manifest, 2 the package.
    static StepOutcome requestFailed(uint16_t id, const package::UpdateInfo &info, uint32_t request, int64_t elapsedMs)
    {
        return {.end = StepEnd::kFailed,
                .id = id,
                .windowsError = info.errorCode,
                .extra1 = info.sslErrors,
                .extra2 = request,
                .elapsedMs = elapsedMs};
    }
};

InstallSteps defaultInstallSteps()
{
    InstallSteps steps;
    steps.fetchUpdateInfo = package::fetchUpdateInfo;
    steps.downloadPackage = package::downloadPackage;
    steps.makeRandomName = package::makeRandomName;
    steps.extractArchive = package::extractArchive;
    steps.runUpdater = installer::runUpdater;
    // The run's last step ends with its report.
    steps.logError = [](uint32_t step, uint32_t id, uint32_t windowsError, uint32_t extra1, uint32_t extra2) {
        telemetry::InstallLog::instance().endStep();
        telemetry::OperationsLogger::instance().logError(step, id, windowsError, extra1, extra2);
    };
    steps.logStop = [](uint32_t step, int64_t elapsedMs) {
        telemetry::InstallLog::instance().endStep();
        telemetry::OperationsLogger::instance().logStop(step, elapsedMs);
    };
    // Without the campaign and channel the program was built with, no
    // success is reported.
    steps.logSuccess = [] {
        telemetry::InstallLog::instance().endStep();
        std::wstring campaign;
        std::wstring channel;
        if (app::loadResourceText(app::ids::kCampaignId, campaign) &&
            app::loadResourceText(app::ids::kChannelId, channel)) {
            telemetry::OperationsLogger::instance().logSuccess(campaign, channel);
        }
    };
    steps.relaunchElevated = [](const std::wstring &arguments, Win32Lib::UniqueHandle &copy) {
        return app::relaunchElevated(&copy, arguments.empty() ? nullptr : arguments.c_str());
    };
    steps.openInBrowser = [](const std::wstring &address) {
        // A page that does not open is not the installer's concern.
        (void)openInBrowser(address, SW_SHOWNOACTIVATE);
    };
    steps.startUnelevated = startUnelevated;
    steps.createWorkerThread = createSuspendedThread;
    return steps;
}

float progressPercent(int64_t total, uint64_t done)
{
    // Without a total there is nothing to show (and no division by zero).
    if (total == 0) {
        return 0.0f;
    }
    return static_cast<float>(static_cast<double>(done) / static_cast<double>(total) * 100.0);
}

std::optional<int64_t> progressPosition(float oldPercent, float newPercent, int64_t base)
{
    if (!(std::round(newPercent) > std::round(oldPercent))) {
        return std::nullopt;
    }
    // More bytes than announced must not push the bar into the next phase.
    const float bounded = newPercent > 100.0f ? 100.0f : newPercent;
    return base + static_cast<int64_t>(bounded * static_cast<float>(kProgressHalf / 100));
}

Installer::Installer() : steps_(defaultInstallSteps())
{
}

Installer::~Installer()
{
    waitForWorker();
}

void Installer::setDefaultDestination()
{
    std::wstring programFiles;
    if (knownFolderPath(FOLDERID_ProgramFiles, programFiles)) {
        options_.destination = programFiles + L"\\" + kVendorFolder;
    }
}

unsigned Installer::start()
{
    setDefaultDestination();
    applyCommandLine();
    const app::RunMode mode = app::runMode();

    if (keyExists(HKEY_LOCAL_MACHINE, kUninstallKey, true)) {
        if (mode != app::RunMode::kInteractive) {
            return app::kExitAlreadyInstalled;
        }
        const int answer = application::ShowMessageBox(nullptr, app::loadString(app::ids::kAlreadyInstalled).c_str(),
                                                       app::loadString(app::ids::kInformation).c_str(), 0);
        return answer == -1 ? app::showInitFailure() : static_cast<unsigned>(app::kExitAlreadyInstalled);
    }

#if !defined(_WIN64)
    if (Win32Lib::isWindows64Bit()) {
        if (mode != app::RunMode::kInteractive) {
            return app::kExitWrongWordSize;
        }
        application::ShowMessageBox(nullptr, app::loadString(app::ids::kWrongWordSize).c_str(),
                                    app::loadString(app::ids::kError).c_str(), 0);
        return app::kExitWrongWordSize;
    }
#endif

    // A silent run carries its choices on its own command line and takes
    // nothing from a record another process left.
    const bool resuming = mode == app::RunMode::kInteractive && takeOverHandoff();
    if (mode == app::RunMode::kVerySilent) {
        return runWithoutWindow();
    }
    const bool silent = mode == app::RunMode::kSilent;

    if (FAILED(createMainWindow(resuming || silent ? kPageInstalling : kPageStart))) {
        return app::showInitFailure();
    }
    if (silent && !startUnattendedWorker()) {
        return app::showInitFailure();
    }
    if (resuming) {
        moveToHandedOverRectangle();
        startWorker(false);
    }
    ::ShowWindow(window_, SW_SHOWNORMAL);
    return 0;
}

HRESULT Installer::createMainWindow(int initialPage)
{
    auto created = std::make_unique<MainWindow>(*this);
    const HRESULT result = created->initialize(initialPage);
    if (FAILED(result)) {
        return result;
    }
    window_ = created->handle();
    mainWindow_ = std::move(created);
    return S_OK;
}

bool Installer::takeOverHandoff()
{
    // Objects under these names that the instance which started this one
    // did not make were planted: they are not even opened.
    if (!startedByWaitingInstance()) {
        return false;
    }
    NamedEvent event;
    if (!event.open(kHandoffEventName, EVENT_ALL_ACCESS)) {
        return false;
    }
    bool resuming = false;
    SharedMemory mapping;
    if (mapping.open(kHandoffMappingName, kHandoffMappingSize, FILE_MAP_ALL_ACCESS)) {
        // Checked in this process's own copy, which nobody can change.
        ElevationHandoff handoff;
        memcpy(&handoff, mapping.data(), sizeof(handoff));
        mapping.close();
        if (handoffRecordIsValid(handoff)) {
            applyElevationHandoff(handoff, options_);
            resuming = app::processIntegrityLevel() >= app::kHighIntegrityLevel;
        }
    }
    // The first instance waits for this whether or not the record was read.
    event.set();
    return resuming;
}

void Installer::moveToHandedOverRectangle()
{
    RECT current = {};
    ::GetWindowRect(window_, &current);
    const SIZE ownSize = {current.right - current.left, current.bottom - current.top};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromRect(&options_.windowRect, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT rect = placeInWorkArea(options_.windowRect, ownSize, monitor.rcWork);
    ::SetWindowPos(window_, nullptr, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

void Installer::beginInstall()
{
    if (app::isElevatedLevel(app::processIntegrityLevel())) {
        startWorker(true);
        return;
    }
    handOffToElevatedCopy();
}

void Installer::handOffToElevatedCopy()
{
    // The elevated copy must pass its own single-instance check.
    app::releaseSingleInstance();

    NamedEvent event;
    SharedMemory mapping;
    if (!event.create(kHandoffEventName) || !mapping.create(kHandoffMappingName, kHandoffMappingSize)) {
        event.close();
        mapping.close();
        app::acquireSingleInstance();
        return;
    }
    ::GetWindowRect(window_, &options_.windowRect);
    const ElevationHandoff handoff = makeElevationHandoff(options_);
    mapping.write(&handoff, sizeof(handoff));

    Win32Lib::UniqueHandle copy;
    // The pages' choices travel in the record; only the log is named on the
    // copy's command line, so that an interactive run logs past elevation.
    const uint32_t error = steps_.relaunchElevated(app::interactiveCopyArguments(app::processCommandLine()), copy);
    if (error != ERROR_SUCCESS) {
        app::acquireSingleInstance();
        event.close();
        mapping.close();
        if (error == ERROR_CANCELLED) {
            application::ShowMessageBox(window_, app::loadString(app::ids::kRunAsAdministrator).c_str(),
                                        app::loadString(app::ids::kInformation).c_str(), 0);
        }
        return;
    }
    // The record stays mapped until the copy has read it. A copy that ends
    // without taking over (it found an installation, failed to start or lost
    // the single-instance check to a third instance) must not leave this
    // window waiting for ever: this instance then stays on its page.
    const HANDLE waitables[] = {event.handle(), copy.get()};
    const DWORD waited = ::WaitForMultipleObjects(copy ? 2 : 1, waitables, FALSE, INFINITE);
    if (waited != WAIT_OBJECT_0 && ::WaitForSingleObject(event.handle(), 0) != WAIT_OBJECT_0) {
        app::acquireSingleInstance();
        event.close();
        mapping.close();
        return;
    }
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void Installer::startWorker(bool showInstallingPage)
{
    // The previous run may still be removing what it left: the new run's
    // destination check must not see that, nor the old clean-up the new run.
    waitForWorker();
    // A stop confirmed while the previous run reported its end is over.
    options_.cancelRequested = 0;
    worker_.reset(steps_.createWorkerThread(installThreadMain, this));
    if (!worker_) {
        const DWORD error = ::GetLastError();
        currentStep_ = kStepDestination;
        outcomeReported_ = false;
        reportError(kStepDestination, kErrorCreateDestination, error, 0, 0);
        return;
    }
    if (showInstallingPage) {
        showPage(window_, kPageInstalling);
    }
    ::ResumeThread(worker_.get());
}

void Installer::waitForWorker() noexcept
{
    if (!worker_) {
        return;
    }
    // The worker sends its final page data to the window of this thread.
    const HANDLE worker = worker_.get();
    while (::MsgWaitForMultipleObjects(1, &worker, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    worker_.reset();
}

DWORD WINAPI Installer::installThreadMain(LPVOID parameter) noexcept
{
    auto &installer = *static_cast<Installer *>(parameter);
    uint16_t result = kInstallOk;
    try {
        result = installer.runInstall();
    } catch (const std::bad_alloc &) {
        result = installer.reportThrownFailure(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        result = installer.reportThrownFailure(ERROR_INTERNAL_ERROR);
    }
    const std::wstring &destination = installer.options_.destination;
    try {
        if (result != kInstallOk && result != kErrorDestinationNotEmpty && !installer.keepDestination_ &&
            isDirectory(destination)) {
            removeDirectoryTree(destination);
        }
    } catch (...) {
        // The run has been reported; what is left stays.
    }
    return result;
}

uint16_t Installer::reportThrownFailure(DWORD windowsError) noexcept
{
    const uint16_t id = thrownFailure(currentStep_);
    // A report that threw half-way has been logged already: one log event.
    if (outcomeReported_) {
        return id;
    }
    try {
        reportError(currentStep_, id, windowsError, 0, 0);
    } catch (...) {
        // Nothing more can be told.
    }
    return id;
}

uint16_t Installer::runInstall()
{
    struct Stage {
        InstallStep step;
        // The status line the installing page shows from this step on.
        std::optional<InstallStatus> status;
        StepOutcome (Installer::*run)(InstallRun &);
    };
    static constexpr Stage kSequence[] = {
        {kStepDestination, kStatusChecking, &Installer::checkDestination},
        {kStepManifest, kStatusConnecting, &Installer::fetchManifest},
        {kStepFreeSpace, std::nullopt, &Installer::checkFreeSpace},
        {kStepDownload, kStatusDownloading, &Installer::downloadPackage},
        {kStepExtraction, kStatusInstalling, &Installer::extractPackage},
        {kStepRegistration, std::nullopt, &Installer::registerProduct},
    };

    keepDestination_ = false;
    currentStep_ = kStepDestination;
    outcomeReported_ = false;
    InstallRun run(options_.destination);
    logRunStarted(options_);

    for (const Stage &stage : kSequence) {
        currentStep_ = stage.step;
        if (stage.status) {
            deliverPageData(window_, Delivery::kPost, kPageInstalling, kDataStatus, *stage.status);
        }
        logStepStarted(stage.step);
        const StepOutcome outcome = (this->*stage.run)(run);
        if (const std::optional<uint16_t> result = reportStepOutcome(stage.step, outcome)) {
            return *result;
        }
    }
    return reportSuccess();
}

Installer::StepOutcome Installer::checkDestination(InstallRun &run)
{
    const std::wstring &destination = run.destination;
    ::SetLastError(0);
    uint16_t checkResult = kInstallOk;
    // Secured before anything is written into it.
    if (!isDirectory(destination)) {
        const std::wstring createdFolder = firstMissingFolder(destination);
        if (!tryCreateDirectoryTree(destination) || !secureCreatedFolder(createdFolder)) {
            checkResult = kErrorCreateDestination;
        }
    } else if (!isDirectoryEmpty(destination)) {
        checkResult = kErrorDestinationNotEmpty;
        keepDestination_ = true;
    } else if (_waccess_s(destination.c_str(), kWriteAccess) != 0 || !secureFoundFolder(destination)) {
        checkResult = kErrorDestinationNotWritable;
    }
    const DWORD checkError = ::GetLastError();
    if (checkResult != kInstallOk) {
        return {.end = StepEnd::kFailed, .id = checkResult, .windowsError = checkError};
    }
    return {};
}

Installer::StepOutcome Installer::fetchManifest(InstallRun &run)
{
    run.timer.start();
    const uint16_t manifestResult = steps_.fetchUpdateInfo(run.info);
    run.timer.stop();
    if (manifestResult != kInstallOk) {
        return StepOutcome::requestFailed(manifestResult, run.info, 1, run.timer.elapsedMs());
    }
    return {.elapsedMs = run.timer.elapsedMs()};
}

Installer::StepOutcome Installer::checkFreeSpace(InstallRun &run)
{
    ::SetLastError(0);
    ULARGE_INTEGER available = {};
    if (::GetDiskFreeSpaceExW(run.destination.c_str(), &available, nullptr, nullptr) &&
        available.QuadPart < run.info.minSize) {
        return {.end = StepEnd::kFailed, .id = kErrorNoFreeSpace, .pageValue = static_cast<int64_t>(run.info.minSize)};
    }
    return {};
}

Installer::StepOutcome Installer::downloadPackage(InstallRun &run)
{
    run.packagePath = run.destination + L"\\" + steps_.makeRandomName(kPackageNameLength).c_str() + kPackageExtension;
    run.timer.start();
    const uint16_t downloadResult = steps_.downloadPackage(
        run.info, run.packagePath, [this](int64_t total, uint64_t done) { return onDownloadProgress(total, done); });
    run.timer.stop();
    if (downloadResult == kErrorCancelled) {
        return {.end = StepEnd::kCancelled, .elapsedMs = run.timer.elapsedMs()};
    }
    if (downloadResult != kInstallOk) {
        return StepOutcome::requestFailed(downloadResult, run.info, 2, run.timer.elapsedMs());
    }
    return {.elapsedMs = run.timer.elapsedMs()};
}

Installer::StepOutcome Installer::extractPackage(InstallRun &run)
{
    run.timer.start();
    ::SetLastError(0);
    package::ExtractResult extraction;
    extraction.progress = [this](int64_t total, uint64_t done) { return onExtractProgress(total, done); };
    uint16_t extractionResult = kInstallOk;
    DWORD extractionError = 0;
    if (!steps_.extractArchive(extraction, run.packagePath, run.destination)) {
        extractionError = ::GetLastError();
        extractionResult = package::errors::fromExtraction(extractionError, extraction.code);
        removeDirectoryTree(run.destination);
    }
    ::DeleteFileW(run.packagePath.c_str());
    run.timer.stop();
    if (extractionResult == kErrorCancelled) {
        return {.end = StepEnd::kCancelled, .elapsedMs = run.timer.elapsedMs()};
    }
    if (extractionResult != kInstallOk) {
        return {.end = StepEnd::kFailed,
                .id = extractionResult,
                .windowsError = extractionError,
                .extra1 = extraction.code,
                .extra2 = static_cast<uint32_t>(extraction.zipCode),
                .elapsedMs = run.timer.elapsedMs()};
    }
    return {.elapsedMs = run.timer.elapsedMs()};
}

Installer::StepOutcome Installer::registerProduct(InstallRun &run)
{
    uint32_t detail = 0;
    const std::wstring version(run.info.lastVersion, wcsnlen(run.info.lastVersion, std::size(run.info.lastVersion)));
    const uint16_t registrationResult =
        steps_.runUpdater(run.destination, version, options_.createDesktopShortcut != 0, detail);
    if (registrationResult != kInstallOk) {
        return {.end = StepEnd::kFailed, .id = registrationResult, .windowsError = detail};
    }
    return {};
}

std::optional<uint16_t> Installer::reportStepOutcome(InstallStep step, const StepOutcome &outcome)
{
    switch (reportedStepEnd(step, outcome.end, cancelRequested())) {
    case StepEnd::kContinue:
        break;
    case StepEnd::kFailed:
        reportError(step, outcome.id, outcome.windowsError, outcome.extra1, outcome.extra2, outcome.pageValue);
        return outcome.id;
    case StepEnd::kCancelled:
        reportCancelled(step, outcome.elapsedMs);
        return kErrorCancelled;
    }
    return std::nullopt;
}

uint16_t Installer::reportSuccess()
{
    outcomeReported_ = true;
    try {
        steps_.logSuccess();
    } catch (...) {
    }
    closePopup();
    deliverPageData(window_, Delivery::kSend, kPageFinish, kDataOutcome, kOutcomeCompleted);
    showPage(window_, kPageFinish);
    options_.installSucceeded = 1;
    return kInstallOk;
}

void Installer::reportError(uint32_t step, uint16_t id, uint32_t windowsError, uint32_t extra1, uint32_t extra2,
                            std::optional<int64_t> pageValue)
{
    outcomeReported_ = true;
    // Telemetry is told what it can be told; the user sees the page anyway.
    try {
        steps_.logError(step, id, windowsError, extra1, extra2);
    } catch (...) {
    }
    // A retry reports its progress from the start.
    options_.downloadPercent = 0.0f;
    options_.extractionPercent = 0.0f;
    closePopup();
    deliverPageData(window_, Delivery::kSend, kPageError, id, pageValue.value_or(windowsError));
    showPage(window_, kPageError);
}

void Installer::reportCancelled(uint32_t step, int64_t elapsedMs)
{
    outcomeReported_ = true;
    try {
        steps_.logStop(step, elapsedMs);
    } catch (...) {
    }
    closePopup();
    deliverPageData(window_, Delivery::kSend, kPageFinish, kDataOutcome, kOutcomeCancelled);
    showPage(window_, kPageFinish);
}

void Installer::closePopup()
{
    if (window_ == nullptr) {
        return;
    }
    if (const HWND popup = enabledPopup(window_)) {
        ::PostMessageW(popup, WM_CLOSE, 0, 0);
    }
}

bool Installer::onDownloadProgress(int64_t total, uint64_t done)
{
    const float oldPercent = options_.downloadPercent;
    const float newPercent = progressPercent(total, done);
    options_.downloadPercent = newPercent;
    if (const auto position = progressPosition(oldPercent, newPercent, 0)) {
        deliverPageData(window_, Delivery::kPost, kPageInstalling, kDataProgress, *position);
    }
    return cancelRequested();
}

bool Installer::onExtractProgress(int64_t total, uint64_t done)
{
    const float oldPercent = options_.extractionPercent;
    const float newPercent = progressPercent(total, done);
    options_.extractionPercent = newPercent;
    if (const auto position = progressPosition(oldPercent, newPercent, kProgressHalf)) {
        deliverPageData(window_, Delivery::kPost, kPageInstalling, kDataProgress, *position);
    }
    return cancelRequested();
}

void Installer::finishActions()
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

} // namespace installer
