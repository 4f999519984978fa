#pragma once

// A slim reader/writer lock held exclusively for a scope, and waits on a
// condition variable under it. Slim locks and condition variables wait inside
// the process; under Wine the C++ library's mutexes and condition variables
// are kernel objects, and every wait on one is a round trip to Wine's server.

#include <windows.h>

namespace win32lib {

class ExclusiveLock {
public:
    explicit ExclusiveLock(SRWLOCK &lock) noexcept : lock_(lock) { ::AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ::ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock &) = delete;
    ExclusiveLock &operator=(const ExclusiveLock &) = delete;

    // Waits on `condition`, with the lock released meanwhile, until `ready()`
    // answers true; false when `milliseconds` pass first.
    template <typename Ready>
    bool wait(CONDITION_VARIABLE &condition, Ready &&ready, DWORD milliseconds = INFINITE) noexcept
    {
        const ULONGLONG start = ::GetTickCount64();
        while (!ready()) {
            DWORD left = INFINITE;
            if (milliseconds != INFINITE) {
                const ULONGLONG waited = ::GetTickCount64() - start;
                if (waited >= milliseconds) {
                    return false;
                }
                left = static_cast<DWORD>(milliseconds - waited);
            }
            (void)::SleepConditionVariableSRW(&condition, &lock_, left, 0);
        }
        return true;
    }

private:
    SRWLOCK &lock_;
};

} // namespace win32lib
