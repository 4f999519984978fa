#pragma once

// A SHA-256 digest and its text form. Portable C++, apart from the system's
// hashing in Sha256.h.

#include <array>
#include <cstdint>
#include <string_view>

namespace win32lib::encryption {

using Sha256Digest = std::array<uint8_t, 32>;

// A digest written as text: exactly 64 hexadecimal digits, in either case.
// False for anything else, `digest` then undefined.
[[nodiscard]] bool parseSha256Text(std::wstring_view text, Sha256Digest &digest) noexcept;

} // namespace win32lib::encryption
