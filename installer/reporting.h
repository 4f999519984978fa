#pragma once

#include "installer/InstallFailure.h"
#include "installer/InstallOptions.h"
#include "installer/InstallerEvents.h"
#include "installer/installSteps.h"

#include <cstdint>
#include <memory>
#include <optional>

namespace installer {

// Percent of a phase done; negative when the total is unknown (-1).
[[nodiscard]] float progressPercent(int64_t total, uint64_t done);
// The bar position to publish when the whole percent grew from `oldPercent`
// to `newPercent`, `base` being where the phase starts on the bar.
[[nodiscard]] std::optional<int64_t> progressPosition(float oldPercent, float newPercent, int64_t base);

// What an install step is called in the log.
[[nodiscard]] const wchar_t *stepName(uint32_t step);
// Log lines of the worker: the run's choices, and each step as it starts.
void logRunStarted(const InstallOptions &options);
void logStepStarted(uint32_t step);

// Tells telemetry, then the window, how a run goes and how it ended:
// telemetry first, so that a window that is gone or slow costs the report
// nothing.
class RunReporter {
public:
    RunReporter(const InstallSteps &steps, InstallOptions &options, std::shared_ptr<InstallerEvents> events)
        : steps_(steps), options_(options), events_(std::move(events))
    {
    }

    void status(InstallStatus status) const;
    // The progress callbacks of the download and the extraction: true asks
    // the step to stop.
    bool downloadProgress(int64_t total, uint64_t done);
    bool extractionProgress(int64_t total, uint64_t done);

    void failed(const InstallFailure &failure);
    void cancelled(uint32_t step, int64_t elapsedMs);
    void succeeded();

    [[nodiscard]] bool outcomeReported() const noexcept { return outcomeReported_; }

private:
    const InstallSteps &steps_;
    InstallOptions &options_;
    std::shared_ptr<InstallerEvents> events_;
    bool outcomeReported_ = false;
};

} // namespace installer
