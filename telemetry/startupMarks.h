#pragma once

#include <string_view>

namespace telemetry {

// With KESTRUNE_STARTUP_MARKS set in the environment, the start-up is timed at
// the steps the program takes, so that the time to the first frame can be
// split. Marks are kept in memory and written into the /LOG file in one go
// once the window is shown: a flushed line per mark would itself slow the
// start-up it measures. Without the variable a mark does nothing. Main
// thread only.
void markStartup(std::wstring_view step) noexcept;
// Each mark becomes "Start-up mark: <step> at <ms> ms", the line bench/run
// reads back.
void writeStartupMarks() noexcept;

} // namespace telemetry
