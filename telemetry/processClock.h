#pragma once

#include <windows.h>

namespace telemetry {

// The start-up marks' clock, header-only so that the bare window bench/run
// compares the installer with can read it without linking anything of ours.
// Milliseconds since this process was created, or -1 when its creation time
// cannot be read.
inline double millisecondsSinceProcessStart() noexcept
{
    const auto ticks = [](const FILETIME &time) {
        return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    // 100-ns ticks of the process's creation; 0 when it cannot be read.
    static const ULONGLONG created = [&ticks] {
        FILETIME creation = {};
        FILETIME unused[3] = {};
        return ::GetProcessTimes(::GetCurrentProcess(), &creation, &unused[0], &unused[1], &unused[2]) ? ticks(creation)
                                                                                                       : 0;
    }();
    if (created == 0) {
        return -1.0;
    }
    FILETIME now = {};
    ::GetSystemTimePreciseAsFileTime(&now);
    return static_cast<double>(ticks(now) - created) / 10000.0;
}

} // namespace telemetry
