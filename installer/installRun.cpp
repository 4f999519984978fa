#include "installer/installRun.h"

#include "installer/destination.h"
#include "installer/fileSystem.h"
#include "installer/folderSecurity.h"
#include "package/installErrors.h"

#include <io.h>

#include <cwchar>
#include <iterator>

namespace installer {
namespace {

constexpr wchar_t kPackageExtension[] = L".zip";
// Nine random characters and the terminator.
constexpr unsigned kPackageNameLength = 10;
constexpr int kWriteAccess = 2;
constexpr int kRemovalAttempts = 5;
constexpr DWORD kRemovalRetryMs = 200;
// Which request failed, as telemetry's second detail tells it.
constexpr uint32_t kManifestRequest = 1;
constexpr uint32_t kPackageRequest = 2;

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

uint16_t thrownFailure(InstallStep step)
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
    case kStepDestination:
        break;
    }
    return kErrorCreateDestination;
}

InstallRun::InstallRun(const InstallSteps &steps, InstallOptions &options, RunReporter &reporter)
    : steps_(steps), options_(options), reporter_(reporter), destination_(options.destination)
{
    LARGE_INTEGER frequency = {};
    ::QueryPerformanceFrequency(&frequency);
    counterFrequency_ = frequency.QuadPart;
}

uint16_t InstallRun::run()
{
    struct Stage {
        InstallStep step;
        // The status line the installing page shows from this step on.
        std::optional<InstallStatus> status;
        StepOutcome (InstallRun::*run)();
    };
    static constexpr Stage kSequence[] = {
        {kStepDestination, kStatusChecking, &InstallRun::checkDestination},
        {kStepManifest, kStatusConnecting, &InstallRun::fetchManifest},
        {kStepFreeSpace, std::nullopt, &InstallRun::checkFreeSpace},
        {kStepDownload, kStatusDownloading, &InstallRun::downloadPackage},
        {kStepExtraction, kStatusInstalling, &InstallRun::extractPackage},
        {kStepRegistration, std::nullopt, &InstallRun::registerProduct},
    };

    logRunStarted(options_);
    for (const Stage &stage : kSequence) {
        currentStep_ = stage.step;
        if (stage.status) {
            reporter_.status(*stage.status);
        }
        logStepStarted(stage.step);
        if (const std::optional<uint16_t> result = reportStepOutcome(stage.step, (this->*stage.run)())) {
            return *result;
        }
    }
    reporter_.succeeded();
    return kInstallOk;
}

std::optional<uint16_t> InstallRun::reportStepOutcome(InstallStep step, StepOutcome outcome)
{
    switch (reportedStepEnd(step, outcome.end, options_.cancelRequested != 0)) {
    case StepEnd::kContinue:
        break;
    case StepEnd::kFailed:
        outcome.failure.step = step;
        reporter_.failed(outcome.failure);
        return outcome.failure.id;
    case StepEnd::kCancelled:
        reporter_.cancelled(step, outcome.elapsedMs);
        return kErrorCancelled;
    }
    return std::nullopt;
}

InstallRun::StepOutcome InstallRun::requestFailed(uint16_t id, uint32_t request) const
{
    return {.end = StepEnd::kFailed,
            .failure = {.id = id, .windowsError = info_.errorCode, .detail1 = info_.sslErrors, .detail2 = request},
            .elapsedMs = elapsedMs_};
}

void InstallRun::startTimer() noexcept
{
    LARGE_INTEGER now = {};
    ::QueryPerformanceCounter(&now);
    timerStart_ = now.QuadPart;
}

int64_t InstallRun::stopTimer() noexcept
{
    LARGE_INTEGER now = {};
    ::QueryPerformanceCounter(&now);
    elapsedMs_ = counterFrequency_ > 0 ? (now.QuadPart - timerStart_) * 1000 / counterFrequency_ : 0;
    return elapsedMs_;
}

InstallRun::StepOutcome InstallRun::checkDestination()
{
    ::SetLastError(0);
    uint16_t checkResult = kInstallOk;
    // Whichever page, record or switch named it, the folder is checked as
    // one that came from outside this process.
    if (const DWORD refusal = validateDestination(destination_); refusal != ERROR_SUCCESS) {
        return {.end = StepEnd::kFailed, .failure = {.id = kErrorCreateDestination, .windowsError = refusal}};
    }
    // Secured before anything is written into it, and held from the moment
    // it is known to be there to the end of the run: while it is held,
    // Windows lets nobody rename it or a folder above it, so the checks by
    // name below and every later use find this folder. Each later use also
    // checks that the path still leads to it.
    if (!isDirectory(destination_)) {
        std::wstring createdFolder;
        if (!createProtectedDirectoryTree(destination_, createdFolder) || !held_.hold(destination_)) {
            checkResult = kErrorCreateDestination;
        } else if (!isDirectoryEmpty(destination_)) {
            // Not the folder just created: another one took its name at once.
            checkResult = kErrorCreateDestination;
            ::SetLastError(ERROR_DIR_NOT_EMPTY);
        } else {
            origin_ = DestinationOrigin::kCreated;
        }
    } else if (!held_.hold(destination_)) {
        checkResult = kErrorDestinationNotWritable;
    } else if (!isDirectoryEmpty(destination_)) {
        checkResult = kErrorDestinationNotEmpty;
    } else if (_waccess_s(destination_.c_str(), kWriteAccess) != 0 || !secureFoundFolder(destination_)) {
        checkResult = kErrorDestinationNotWritable;
    } else {
        origin_ = DestinationOrigin::kTakenOver;
    }
    const DWORD checkError = ::GetLastError();
    if (checkResult != kInstallOk) {
        return {.end = StepEnd::kFailed, .failure = {.id = checkResult, .windowsError = checkError}};
    }
    return {};
}

InstallRun::StepOutcome InstallRun::fetchManifest()
{
    startTimer();
    const uint16_t manifestResult = steps_.fetchUpdateInfo(info_);
    const int64_t elapsedMs = stopTimer();
    if (manifestResult != kInstallOk) {
        return requestFailed(manifestResult, kManifestRequest);
    }
    return {.elapsedMs = elapsedMs};
}

InstallRun::StepOutcome InstallRun::checkFreeSpace()
{
    ::SetLastError(0);
    ULARGE_INTEGER available = {};
    if (::GetDiskFreeSpaceExW(destination_.c_str(), &available, nullptr, nullptr) &&
        available.QuadPart < info_.minSize) {
        return {.end = StepEnd::kFailed,
                .failure = {.id = kErrorNoFreeSpace, .shownValue = static_cast<int64_t>(info_.minSize)}};
    }
    return {};
}

InstallRun::StepOutcome InstallRun::destinationLost() const
{
    return {.end = StepEnd::kFailed,
            .failure = {.id = kErrorDestinationNotWritable, .windowsError = ::GetLastError()},
            .elapsedMs = elapsedMs_};
}

InstallRun::StepOutcome InstallRun::downloadPackage()
{
    if (!held_.isStillAt(destination_)) {
        return destinationLost();
    }
    packagePath_ = destination_ + L"\\" + steps_.makeRandomName(kPackageNameLength).c_str() + kPackageExtension;
    startTimer();
    const uint16_t downloadResult = steps_.downloadPackage(
        info_, packagePath_, [this](int64_t total, uint64_t done) { return reporter_.downloadProgress(total, done); });
    const int64_t elapsedMs = stopTimer();
    if (downloadResult == kErrorCancelled) {
        return {.end = StepEnd::kCancelled, .elapsedMs = elapsedMs};
    }
    if (downloadResult != kInstallOk) {
        return requestFailed(downloadResult, kPackageRequest);
    }
    return {.elapsedMs = elapsedMs};
}

InstallRun::StepOutcome InstallRun::extractPackage()
{
    if (!held_.isStillAt(destination_)) {
        return destinationLost();
    }
    startTimer();
    ::SetLastError(0);
    package::ExtractResult extraction;
    extraction.progress = [this](int64_t total, uint64_t done) { return reporter_.extractionProgress(total, done); };
    uint16_t extractionResult = kInstallOk;
    DWORD extractionError = 0;
    if (!steps_.extractArchive(extraction, packagePath_, destination_)) {
        extractionError = ::GetLastError();
        extractionResult = package::fromExtraction(extractionError, extraction.code);
        removeWhatTheRunMade();
    }
    ::DeleteFileW(packagePath_.c_str());
    const int64_t elapsedMs = stopTimer();
    if (extractionResult == kErrorCancelled) {
        return {.end = StepEnd::kCancelled, .elapsedMs = elapsedMs};
    }
    if (extractionResult != kInstallOk) {
        return {.end = StepEnd::kFailed,
                .failure = {.id = extractionResult,
                            .windowsError = extractionError,
                            .detail1 = extraction.code,
                            .detail2 = static_cast<uint32_t>(extraction.zipCode)},
                .elapsedMs = elapsedMs};
    }
    return {.elapsedMs = elapsedMs};
}

InstallRun::StepOutcome InstallRun::registerProduct()
{
    if (!held_.isStillAt(destination_)) {
        return destinationLost();
    }
    uint32_t detail = 0;
    const std::wstring version(info_.lastVersion, wcsnlen(info_.lastVersion, std::size(info_.lastVersion)));
    const uint16_t registrationResult =
        steps_.runUpdater(destination_, version, options_.createDesktopShortcut != 0, detail);
    if (registrationResult != kInstallOk) {
        removeWhatTheRunMade();
        return {.end = StepEnd::kFailed, .failure = {.id = registrationResult, .windowsError = detail}};
    }
    return {};
}

void InstallRun::removeWhatTheRunMade()
{
    // A folder found under the destination's name that is not the one the
    // run checked and held is someone else's, whatever it holds.
    if (origin_ == DestinationOrigin::kFound || !held_.held() || !held_.isStillAt(destination_)) {
        return;
    }
    // A program that has just ended (the updater) can keep its file open a
    // moment longer: what is left is tried again a few times, and the folder
    // stays held when files remain, for the end of the run to try once more.
    for (int attempt = 1; removeDirectoryContents(destination_) != 0; ++attempt) {
        if (attempt == kRemovalAttempts) {
            return;
        }
        ::Sleep(kRemovalRetryMs);
    }
    // A folder that was there before the run stays; only what the run put
    // in it goes.
    if (origin_ == DestinationOrigin::kCreated) {
        static_cast<void>(held_.releaseAndRemove(destination_));
    }
}

} // namespace installer
