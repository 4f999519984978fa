#include "telemetry/startupMarks.h"

#include "telemetry/InstallLog.h"

#include <windows.h>

#include <cstdio>
#include <iterator>
#include <string>
#include <vector>

namespace telemetry {
namespace {

struct StartupMark {
    std::wstring step;
    double sinceProcessStartMs = 0.0;
};

struct Timeline {
    bool enabled = false;
    ULONGLONG processCreated = 0;
    std::vector<StartupMark> marks;
};

ULONGLONG asTicks(const FILETIME &time) noexcept
{
    return (static_cast<ULONGLONG>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

Timeline &timeline() noexcept
{
    static Timeline state = [] {
        Timeline made;
        made.enabled = ::GetEnvironmentVariableW(L"KESTRUNE_STARTUP_MARKS", nullptr, 0) > 0;
        FILETIME created = {};
        FILETIME unused[3] = {};
        if (made.enabled && ::GetProcessTimes(::GetCurrentProcess(), &created, &unused[0], &unused[1], &unused[2])) {
            made.processCreated = asTicks(created);
        } else {
            made.enabled = false;
        }
        return made;
    }();
    return state;
}

std::wstring startupMarkLine(const StartupMark &mark)
{
    wchar_t milliseconds[32] = {};
    std::swprintf(milliseconds, std::size(milliseconds), L"%.1f", mark.sinceProcessStartMs);
    return L"Start-up mark: " + mark.step + L" at " + milliseconds + L" ms";
}

} // namespace

void markStartup(std::wstring_view step) noexcept
{
    Timeline &state = timeline();
    if (!state.enabled) {
        return;
    }
    FILETIME now = {};
    ::GetSystemTimePreciseAsFileTime(&now);
    // 100-ns ticks since the process was created.
    const double elapsedMs = static_cast<double>(asTicks(now) - state.processCreated) / 10000.0;
    try {
        state.marks.push_back({std::wstring(step), elapsedMs});
    } catch (...) {
        state.enabled = false;
    }
}

void writeStartupMarks() noexcept
{
    Timeline &state = timeline();
    try {
        for (const StartupMark &mark : state.marks) {
            InstallLog::instance().write(startupMarkLine(mark));
        }
    } catch (...) {
        // A timeline that cannot be written is only a missing measurement.
    }
    state.marks.clear();
}

} // namespace telemetry
