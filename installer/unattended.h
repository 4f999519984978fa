#pragma once

#include "installer/InstallOptions.h"

#include <cstdint>

namespace installer {

// What an install step is called in the log.
[[nodiscard]] const wchar_t *stepName(uint32_t step);

// Log lines of the worker: the run's choices, and each step as it starts.
void logRunStarted(const InstallOptions &options);
void logStepStarted(uint32_t step);

} // namespace installer
