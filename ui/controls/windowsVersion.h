#pragma once

#include "ui/layoutRules.h"

#include <optional>

namespace application::controls {

// The Windows version the shield pictures follow; nullopt when unknown.
[[nodiscard]] std::optional<layout::WindowsVersion> windowsVersion();

} // namespace application::controls
