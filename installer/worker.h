#pragma once

#include "installer/InstallOptions.h"
#include "installer/InstallerEvents.h"
#include "installer/installSteps.h"
#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace installer {

// A whole run on the worker thread: the steps, a failure that threw out of
// one of them, and the removal of what a failed run left. Returns the id the
// run ended with, which is the thread's exit code.
[[nodiscard]] uint16_t runOnWorker(const InstallSteps &steps, InstallOptions &options,
                                   const std::shared_ptr<InstallerEvents> &events) noexcept;

// The worker thread of one run. The engine waits for it before it starts
// the next run and before it goes: the thread uses the engine to its end.
class Worker {
public:
    Worker() = default;
    Worker(const Worker &) = delete;
    Worker &operator=(const Worker &) = delete;
    ~Worker() { wait(); }

    // Creates the thread suspended through the steps' seam; the previous
    // thread must have been waited for. False, with the thread's last error,
    // when it cannot be created.
    [[nodiscard]] bool create(const InstallSteps &steps, LPTHREAD_START_ROUTINE routine, LPVOID parameter);
    void resume() const noexcept;
    // Waits for the thread, answering what it sends to windows of this
    // thread meanwhile.
    void wait() noexcept;

private:
    win32lib::UniqueHandle thread_;
};

} // namespace installer
