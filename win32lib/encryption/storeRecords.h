#pragma once

// The enciphered records of this build, defined in the source file that
// tools/storegen writes from the configured addresses and the pictures.

#include <cstdint>
#include <span>

namespace win32lib::encryption::records {

[[nodiscard]] std::span<const uint8_t> manifestAddress() noexcept;
[[nodiscard]] std::span<const uint8_t> probeAddress() noexcept;
[[nodiscard]] std::span<const uint8_t> probeUserAgent() noexcept;
[[nodiscard]] std::span<const uint8_t> telemetryAddress() noexcept;
[[nodiscard]] std::span<const uint8_t> successAddressFormat() noexcept;
[[nodiscard]] std::span<const uint8_t> finishPageAddress() noexcept;
[[nodiscard]] std::span<const uint8_t> certificatePins() noexcept;
[[nodiscard]] std::span<const uint8_t> pictureTable() noexcept;

} // namespace win32lib::encryption::records
