#pragma once

#include "ui/layoutRules.h"

#include <optional>

namespace ui::controls {

// The Windows version the shield pictures follow; nullopt when unknown.
[[nodiscard]] std::optional<WindowsVersion> windowsVersion();

} // namespace ui::controls
