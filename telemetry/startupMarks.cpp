#include "telemetry/startupMarks.h"

#include "telemetry/InstallLog.h"
#include "telemetry/processClock.h"

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
    std::vector<StartupMark> marks;
};

Timeline &timeline() noexcept
{
    static Timeline state = [] {
        Timeline made;
        made.enabled = ::GetEnvironmentVariableW(L"KESTRUNE_STARTUP_MARKS", nullptr, 0) > 0 &&
                       millisecondsSinceProcessStart() >= 0;
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
    const double elapsedMs = millisecondsSinceProcessStart();
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
