#include "win32lib/encryption/recordFormat.h"

#include "win32lib/encryption/cipher.h"

namespace win32lib::encryption {

namespace {

void appendBigEndian32(std::vector<uint8_t> &out, uint32_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 24));
    out.push_back(static_cast<uint8_t>(value >> 16));
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

void appendBigEndian16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(static_cast<uint8_t>(value >> 8));
    out.push_back(static_cast<uint8_t>(value));
}

} // namespace

uint32_t readBigEndian32(const uint8_t *bytes) noexcept
{
    return static_cast<uint32_t>(bytes[0]) << 24 | static_cast<uint32_t>(bytes[1]) << 16 |
           static_cast<uint32_t>(bytes[2]) << 8 | static_cast<uint32_t>(bytes[3]);
}

uint16_t readBigEndian16(const uint8_t *bytes) noexcept
{
    return static_cast<uint16_t>(bytes[0] << 8 | bytes[1]);
}

Key gatherKey(std::span<const uint8_t> block) noexcept
{
    Key key{};
    for (std::size_t i = 0; i < key.size(); ++i) {
        key[i] = block[5 + 2 * i];
    }
    return key;
}

std::vector<uint8_t> makeHeader(uint32_t length, const Key &key, const Key &filler)
{
    std::vector<uint8_t> header;
    header.reserve(kHeaderEnd);
    appendBigEndian32(header, length);
    for (std::size_t i = 0; i < key.size(); ++i) {
        header.push_back(filler[i]);
        header.push_back(key[i]);
    }
    return header;
}

std::vector<uint8_t> makeStringRecord(std::span<const uint8_t> utf8, const Key &key, const Key &filler)
{
    const std::vector<uint8_t> text = encipher(utf8, key);
    std::vector<uint8_t> record = makeHeader(static_cast<uint32_t>(text.size()), key, filler);
    record.insert(record.end(), text.begin(), text.end());
    return record;
}

std::vector<uint8_t> makePictureTable(std::span<const PictureEntry> pictures, const Key &key, const Key &filler)
{
    std::vector<uint8_t> payload;
    for (const PictureEntry &picture : pictures) {
        const std::vector<uint8_t> text = encipher(picture.bytes, key);
        appendBigEndian16(payload, picture.id);
        appendBigEndian32(payload, static_cast<uint32_t>(text.size()));
        payload.insert(payload.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> table = makeHeader(static_cast<uint32_t>(payload.size()), key, filler);
    table.insert(table.end(), payload.begin(), payload.end());
    return table;
}

} // namespace win32lib::encryption
