#pragma once

// XTEA with 64 cycles over 8-byte blocks, in the store's text format: the
// cipher blocks followed by one byte holding the number of padding bytes
// (0 to 7) at the end of the last block, so the text is 8k + 1 bytes long.
// Portable C++: the build-time store generator enciphers with the same code.

#include "win32lib/encryption/SecureAllocator.h"

#include <cstdint>
#include <span>
#include <vector>

namespace win32lib::encryption {

constexpr std::size_t kKeyLength = 16;
constexpr std::size_t kBlockLength = 8;

// Fails (returns false and leaves `plain` empty) unless the text is 8k + 1
// bytes long with a padding count below 8 that fits in the blocks. The key is
// cut or zero-extended to 16 bytes.
[[nodiscard]] bool decipher(std::span<const uint8_t> text, std::span<const uint8_t> key, SecureString &plain);

// The inverse of decipher; padding bytes are zeros.
[[nodiscard]] std::vector<uint8_t> encipher(std::span<const uint8_t> plain, std::span<const uint8_t> key);

} // namespace win32lib::encryption
