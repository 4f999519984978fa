#include "installer/reporting.h"

#include "telemetry/InstallLog.h"

#include <cmath>

namespace installer {

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

const wchar_t *stepName(uint32_t step)
{
    for (const package::InstallStepName &known : package::kInstallStepNames) {
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

void RunReporter::status(InstallStatus status) const
{
    if (events_) {
        events_->statusChanged(status);
    }
}

bool RunReporter::downloadProgress(int64_t total, uint64_t done)
{
    const float oldPercent = options_.downloadPercent;
    const float newPercent = progressPercent(total, done);
    options_.downloadPercent = newPercent;
    if (const auto position = progressPosition(oldPercent, newPercent, 0); position && events_) {
        events_->progressChanged(*position);
    }
    return options_.cancelRequested != 0;
}

bool RunReporter::extractionProgress(int64_t total, uint64_t done)
{
    const float oldPercent = options_.extractionPercent;
    const float newPercent = progressPercent(total, done);
    options_.extractionPercent = newPercent;
    if (const auto position = progressPosition(oldPercent, newPercent, kProgressHalf); position && events_) {
        events_->progressChanged(*position);
    }
    return options_.cancelRequested != 0;
}

void RunReporter::failed(const InstallFailure &failure)
{
    outcomeReported_ = true;
    // Telemetry is told what it can be told; the user sees the page anyway.
    try {
        steps_.logError(failure);
    } catch (...) {
    }
    // A retry reports its progress from the start.
    options_.downloadPercent = 0.0f;
    options_.extractionPercent = 0.0f;
    if (events_) {
        events_->failed(failure);
    }
}

void RunReporter::cancelled(uint32_t step, int64_t elapsedMs)
{
    outcomeReported_ = true;
    try {
        steps_.logStop(step, elapsedMs);
    } catch (...) {
    }
    if (events_) {
        events_->cancelled();
    }
}

void RunReporter::succeeded()
{
    outcomeReported_ = true;
    try {
        steps_.logSuccess();
    } catch (...) {
    }
    if (events_) {
        events_->succeeded();
    }
    options_.installSucceeded = 1;
}

} // namespace installer
