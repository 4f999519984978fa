#pragma once

// Reading the enciphered store. Each use deciphers again; nothing is cached.
// A malformed record gives an empty (never null) result and the caller fails
// in its own way, e.g. an empty address fails the HTTP client's URL step.
// The decoders are portable C++, fuzzed on the build machine.

#include "win32lib/encryption/SecureAllocator.h"

#include <cstdint>
#include <span>

namespace win32lib::encryption {

// UTF-8 record text converted to UTF-16; invalid UTF-8 gives the empty string.
[[nodiscard]] SharedSecureWString decodeStringRecord(std::span<const uint8_t> record);

// The encoded picture (for the imaging component) stored under `id` in
// `table`; empty when the id is absent.
[[nodiscard]] SharedSecureString decodePicture(std::span<const uint8_t> table, uint16_t id);

// The same from the program's own picture table (ids 101 to 105), which is
// read beside the program's other records in protectedStrings.cpp.
[[nodiscard]] SharedSecureString decodePicture(uint16_t id);

} // namespace win32lib::encryption
