#include "installer/worker.h"

#include "installer/installRun.h"
#include "installer/reporting.h"

#include <new>
#include <optional>

namespace installer {
namespace {

// Ends a run whose step threw, as a failure of that step.
uint16_t reportThrownFailure(RunReporter &reporter, InstallStep step, DWORD windowsError) noexcept
{
    const uint16_t id = thrownFailure(step);
    // A report that threw half-way has been logged already: one log event.
    if (reporter.outcomeReported()) {
        return id;
    }
    try {
        reporter.failed({.step = step, .id = id, .windowsError = windowsError});
    } catch (...) {
        // Nothing more can be told.
    }
    return id;
}

} // namespace

uint16_t runOnWorker(const InstallSteps &steps, InstallOptions &options,
                     const std::shared_ptr<InstallerEvents> &events) noexcept
{
    RunReporter reporter(steps, options, events);
    std::optional<InstallRun> run;
    uint16_t result = kInstallOk;
    try {
        run.emplace(steps, options, reporter);
        result = run->run();
    } catch (const std::bad_alloc &) {
        result = reportThrownFailure(reporter, run ? run->currentStep() : kStepDestination, ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        result = reportThrownFailure(reporter, run ? run->currentStep() : kStepDestination, ERROR_INTERNAL_ERROR);
    }
    try {
        if (result != kInstallOk && run) {
            run->removeWhatTheRunMade();
        }
    } catch (...) {
        // The run has been reported; what is left stays.
    }
    return result;
}

bool Worker::create(const InstallSteps &steps, LPTHREAD_START_ROUTINE routine, LPVOID parameter)
{
    thread_.reset(steps.createWorkerThread(routine, parameter));
    return static_cast<bool>(thread_);
}

void Worker::resume() const noexcept
{
    ::ResumeThread(thread_.get());
}

void Worker::wait() noexcept
{
    if (!thread_) {
        return;
    }
    // The worker sends its final page data to the window of this thread.
    const HANDLE thread = thread_.get();
    while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) == WAIT_OBJECT_0 + 1) {
        MSG message;
        ::PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
    thread_.reset();
}

} // namespace installer
