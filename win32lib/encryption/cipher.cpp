#include "win32lib/encryption/cipher.h"

#include <array>

namespace win32lib::encryption {

namespace {

constexpr uint32_t kDelta = 0x9E3779B9u;
constexpr unsigned kCycles = 64;
// 64 x delta modulo 2^32, where the decipherment's running sum starts.
constexpr uint32_t kDecipherSum = kDelta * kCycles;
static_assert(kDecipherSum == 0x8DDE6E40u);

using KeyWords = std::array<uint32_t, 4>;

uint32_t readLittleEndian(const uint8_t *bytes) noexcept
{
    return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
           static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

void writeLittleEndian(uint32_t value, uint8_t *bytes) noexcept
{
    bytes[0] = static_cast<uint8_t>(value);
    bytes[1] = static_cast<uint8_t>(value >> 8);
    bytes[2] = static_cast<uint8_t>(value >> 16);
    bytes[3] = static_cast<uint8_t>(value >> 24);
}

KeyWords keyWords(std::span<const uint8_t> key) noexcept
{
    std::array<uint8_t, kKeyLength> bytes{};
    for (std::size_t i = 0; i < kKeyLength && i < key.size(); ++i) {
        bytes[i] = key[i];
    }
    KeyWords words{};
    for (std::size_t i = 0; i < words.size(); ++i) {
        words[i] = readLittleEndian(bytes.data() + 4 * i);
    }
    secureWipe(bytes.data(), bytes.size());
    return words;
}

void decipherBlock(uint8_t *block, const KeyWords &key) noexcept
{
    uint32_t v0 = readLittleEndian(block);
    uint32_t v1 = readLittleEndian(block + 4);
    uint32_t sum = kDecipherSum;
    for (unsigned cycle = 0; cycle < kCycles; ++cycle) {
        v1 -= (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + key[(sum >> 11) & 3]);
        sum -= kDelta;
        v0 -= (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + key[sum & 3]);
    }
    writeLittleEndian(v0, block);
    writeLittleEndian(v1, block + 4);
}

void encipherBlock(uint8_t *block, const KeyWords &key) noexcept
{
    uint32_t v0 = readLittleEndian(block);
    uint32_t v1 = readLittleEndian(block + 4);
    uint32_t sum = 0;
    for (unsigned cycle = 0; cycle < kCycles; ++cycle) {
        v0 += (((v1 << 4) ^ (v1 >> 5)) + v1) ^ (sum + key[sum & 3]);
        sum += kDelta;
        v1 += (((v0 << 4) ^ (v0 >> 5)) + v0) ^ (sum + key[(sum >> 11) & 3]);
    }
    writeLittleEndian(v0, block);
    writeLittleEndian(v1, block + 4);
}

} // namespace

bool decipher(std::span<const uint8_t> text, std::span<const uint8_t> key, SecureString &plain)
{
    plain.clear();
    if (text.size() % kBlockLength != 1) {
        return false;
    }
    const std::size_t blocksLength = text.size() - 1;
    const std::size_t padding = text.back();
    // A count larger than the blocks would underflow the plain length.
    if (padding >= kBlockLength || padding > blocksLength) {
        return false;
    }
    KeyWords words = keyWords(key);
    plain.assign(reinterpret_cast<const char *>(text.data()), blocksLength);
    for (std::size_t offset = 0; offset < blocksLength; offset += kBlockLength) {
        decipherBlock(reinterpret_cast<uint8_t *>(plain.data()) + offset, words);
    }
    secureWipe(words.data(), sizeof(words));
    secureWipe(plain.data() + blocksLength - padding, padding);
    plain.resize(blocksLength - padding);
    return true;
}

std::vector<uint8_t> encipher(std::span<const uint8_t> plain, std::span<const uint8_t> key)
{
    const std::size_t padding = (kBlockLength - plain.size() % kBlockLength) % kBlockLength;
    std::vector<uint8_t> text(plain.begin(), plain.end());
    text.resize(plain.size() + padding, 0);
    const KeyWords words = keyWords(key);
    for (std::size_t offset = 0; offset < text.size(); offset += kBlockLength) {
        encipherBlock(text.data() + offset, words);
    }
    text.push_back(static_cast<uint8_t>(padding));
    return text;
}

} // namespace win32lib::encryption
