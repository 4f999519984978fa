#pragma once

// Layout of the enciphered records. A string record is
//   [length L, 4 bytes big-endian][32-byte header][L enciphered bytes]
// and the picture table is
//   [payload length P, 4 bytes big-endian][32-byte header]
//   then records [id, 2 bytes big-endian][length, 4 bytes big-endian][enciphered bytes]
//   back to back up to offset 36 + P.
// The 16 key bytes sit at the odd offsets 5, 7, ..., 35 of the header; the
// even offsets are filler, so the key is never stored in one piece.
// Portable C++: the build-time store generator writes these formats.

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace win32lib::encryption {

constexpr std::size_t kHeaderEnd = 36;
constexpr std::size_t kPictureRecordHeader = 6;

using Key = std::array<uint8_t, 16>;

[[nodiscard]] uint32_t readBigEndian32(const uint8_t *bytes) noexcept;
[[nodiscard]] uint16_t readBigEndian16(const uint8_t *bytes) noexcept;

// Gathers the key from the odd header offsets. `block` must hold at least
// kHeaderEnd bytes.
[[nodiscard]] Key gatherKey(std::span<const uint8_t> block) noexcept;

// Writes the 36-byte header: `length`, then the key interleaved with filler.
[[nodiscard]] std::vector<uint8_t> makeHeader(uint32_t length, const Key &key, const Key &filler);

[[nodiscard]] std::vector<uint8_t> makeStringRecord(std::span<const uint8_t> utf8, const Key &key, const Key &filler);

struct PictureEntry {
    uint16_t id = 0;
    std::vector<uint8_t> bytes;
};

[[nodiscard]] std::vector<uint8_t> makePictureTable(std::span<const PictureEntry> pictures, const Key &key,
                                                    const Key &filler);

} // namespace win32lib::encryption
