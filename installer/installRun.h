#pragma once

#include "installer/InstallFailure.h"
#include "installer/InstallOptions.h"
#include "installer/heldFolder.h"
#include "installer/installSteps.h"
#include "installer/reporting.h"
#include "package/UpdateInfo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace installer {

// How a step ended by itself.
enum class StepEnd {
    kContinue,
    kFailed,
    kCancelled,
};

// What is reported for a step that ended with `end`, a stop having been
// confirmed while it ran or not: the rule differs from step to step.
[[nodiscard]] StepEnd reportedStepEnd(InstallStep step, StepEnd end, bool stopConfirmed);

// The id a run ends with when something in `step` threw.
[[nodiscard]] uint16_t thrownFailure(InstallStep step);

// One run of the six install steps, from the destination check to the
// registration, on the worker thread.
class InstallRun {
public:
    InstallRun(const InstallSteps &steps, InstallOptions &options, RunReporter &reporter);

    // Runs the steps in order and reports how the run ended. Returns the id
    // the run ends with: 0 on success.
    [[nodiscard]] uint16_t run();

    // The step running now, for a failure that threw out of it.
    [[nodiscard]] InstallStep currentStep() const noexcept { return currentStep_; }
    // After a failure: removes the destination when this run created it, and
    // only what the run put into it when the run took over an empty folder
    // that was there before. Any other folder is left as it was.
    void removeWhatTheRunMade();

private:
    // How one step ended: the failure's record has no step yet.
    struct StepOutcome {
        StepEnd end = StepEnd::kContinue;
        InstallFailure failure = {};
        // What a cancel reports as the step's duration.
        int64_t elapsedMs = 0;
    };

    [[nodiscard]] StepOutcome checkDestination();
    [[nodiscard]] StepOutcome fetchManifest();
    [[nodiscard]] StepOutcome checkFreeSpace();
    [[nodiscard]] StepOutcome downloadPackage();
    [[nodiscard]] StepOutcome extractPackage();
    [[nodiscard]] StepOutcome registerProduct();
    // When `step` ends the run, reports that end and returns the id the run
    // ends with; nothing otherwise.
    [[nodiscard]] std::optional<uint16_t> reportStepOutcome(InstallStep step, StepOutcome outcome);
    // The path no longer leads to the held destination (the last error says why).
    [[nodiscard]] StepOutcome destinationLost() const;
    // A request that failed, told with its Windows and TLS errors and which
    // request it was.
    [[nodiscard]] StepOutcome requestFailed(uint16_t id, uint32_t request) const;

    // Milliseconds between the performance counter's start() and stop().
    void startTimer() noexcept;
    [[nodiscard]] int64_t stopTimer() noexcept;

    const InstallSteps &steps_;
    InstallOptions &options_;
    RunReporter &reporter_;
    // Taken once: every step works on the folder the first one checked.
    const std::wstring destination_;
    package::UpdateInfo info_;
    std::wstring packagePath_;
    InstallStep currentStep_ = kStepDestination;
    // Whose the destination is, as the destination check found it.
    enum class DestinationOrigin {
        kFound,
        kCreated,
        kTakenOver,
    };
    DestinationOrigin origin_ = DestinationOrigin::kFound;
    HeldFolder held_;
    int64_t counterFrequency_ = 0;
    int64_t timerStart_ = 0;
    int64_t elapsedMs_ = 0;
};

} // namespace installer
