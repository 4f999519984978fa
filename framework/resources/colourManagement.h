#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace framework::resources {

// Full path of the primary monitor's default colour profile, if it has one.
[[nodiscard]] std::optional<std::wstring> monitorProfilePath();

// Converts 0x00RRGGBB colours from sRGB to the primary monitor's profile.
// False (destination untouched) when there is no profile or a step fails.
[[nodiscard]] bool convertColours(const uint32_t *source, uint32_t *destination, size_t count);

} // namespace framework::resources
