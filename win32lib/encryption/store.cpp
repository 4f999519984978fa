#include "win32lib/encryption/store.h"

#include "win32lib/encryption/cipher.h"
#include "win32lib/encryption/recordFormat.h"
#include "win32lib/utf16.h"

#include <algorithm>
#include <string_view>

namespace win32lib::encryption {

namespace {

// Deciphers `text` with the key gathered from `header` into a new shared
// string; empty on failure.
std::shared_ptr<SecureString> decipherWithHeaderKey(std::span<const uint8_t> header, std::span<const uint8_t> text)
{
    auto plain = makeSecureShared<SecureString>();
    Key key = gatherKey(header);
    // A failed decipherment leaves the string empty, which is the result.
    static_cast<void>(decipher(text, key, *plain));
    secureWipe(key.data(), key.size());
    return plain;
}

} // namespace

SharedSecureWString decodeStringRecord(std::span<const uint8_t> record)
{
    auto wide = makeSecureShared<SecureWString>();
    if (record.size() < kHeaderEnd) {
        return wide;
    }
    const uint32_t length = readBigEndian32(record.data());
    if (length > record.size() - kHeaderEnd) {
        return wide;
    }
    const std::shared_ptr<const SecureString> utf8 = decipherWithHeaderKey(record, record.subspan(kHeaderEnd, length));
    const std::string_view text(utf8->data(), utf8->size());
    const std::size_t wideLength = win32lib::utf8ToUtf16(text, nullptr, 0);
    if (wideLength == 0) {
        return wide;
    }
    wide->resize(wideLength);
    if (win32lib::utf8ToUtf16(text, wide->data(), wideLength) != wideLength) {
        wide->clear();
    }
    return wide;
}

SharedSecureString decodePicture(std::span<const uint8_t> table, uint16_t id)
{
    if (table.size() < kHeaderEnd) {
        return makeSecureShared<SecureString>();
    }
    const uint64_t payloadLength = readBigEndian32(table.data());
    // A table that claims more than it holds is walked only as far as it goes.
    const std::size_t end = static_cast<std::size_t>(std::min<uint64_t>(kHeaderEnd + payloadLength, table.size()));
    std::size_t offset = kHeaderEnd;
    while (offset + kPictureRecordHeader <= end) {
        const uint16_t recordId = readBigEndian16(table.data() + offset);
        const uint64_t length = readBigEndian32(table.data() + offset + 2);
        const std::size_t textStart = offset + kPictureRecordHeader;
        if (length > end - textStart) {
            break;
        }
        if (recordId == id) {
            return decipherWithHeaderKey(table, table.subspan(textStart, static_cast<std::size_t>(length)));
        }
        offset = textStart + static_cast<std::size_t>(length);
    }
    return makeSecureShared<SecureString>();
}

} // namespace win32lib::encryption
