#include "win32lib/encryption/cipher.h"
#include "win32lib/encryption/protectedStrings.h"
#include "win32lib/encryption/recordFormat.h"
#include "win32lib/encryption/store.h"

#include "configuredStore.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <new>
#include <string>
#include <vector>

using namespace win32lib::encryption;

// The test program's own allocation functions let a test catch the next
// block allocated and look at it in the moment it is released, after the
// allocator under test has done its work.
namespace {
bool captureNextAllocation = false;
const void *watchedBlock = nullptr;
std::size_t watchedLength = 0;
std::vector<unsigned char> watchedBytesAtRelease;

void observeRelease(void *block) noexcept
{
    if (block != nullptr && block == watchedBlock) {
        const auto *bytes = static_cast<const unsigned char *>(block);
        watchedBytesAtRelease.assign(bytes, bytes + watchedLength);
        watchedBlock = nullptr;
    }
}

void watchNextAllocation()
{
    watchedBytesAtRelease.clear();
    watchedBlock = nullptr;
    captureNextAllocation = true;
}

bool allZero(const std::vector<unsigned char> &bytes)
{
    for (unsigned char byte : bytes) {
        if (byte != 0) {
            return false;
        }
    }
    return true;
}
} // namespace

void *operator new(std::size_t size)
{
    void *block = std::malloc(size == 0 ? 1 : size);
    if (block == nullptr) {
        throw std::bad_alloc();
    }
    if (captureNextAllocation) {
        captureNextAllocation = false;
        watchedBlock = block;
        watchedLength = size;
    }
    return block;
}

void operator delete(void *block) noexcept
{
    observeRelease(block);
    std::free(block);
}

void operator delete(void *block, std::size_t) noexcept
{
    observeRelease(block);
    std::free(block);
}

namespace {

const Key kKey = {0x10, 0x32, 0x54, 0x76, 0x98, 0xBA, 0xDC, 0xFE, 0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};
const Key kFiller = {0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A, 0xA5, 0x5A};

std::vector<uint8_t> bytesOf(const std::string &text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

std::wstring wide(const SharedSecureWString &text)
{
    return std::wstring(text->begin(), text->end());
}

std::string narrow(const SharedSecureString &text)
{
    return std::string(text->begin(), text->end());
}

std::string readFile(const std::wstring &path)
{
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

} // namespace

TEST(Cipher, KnownXteaVectorDeciphers)
{
    // The reference XTEA loop run 64 times (sum from 64 x delta) over the
    // classic sample (key words 00010203..0C0D0E0F, plain words 41424344
    // 45464748) gives FCE22584 245503EF, worked out with an independent
    // implementation; here in the store's little-endian byte order.
    const std::vector<uint8_t> keyBytes = {0x03, 0x02, 0x01, 0x00, 0x07, 0x06, 0x05, 0x04,
                                           0x0B, 0x0A, 0x09, 0x08, 0x0F, 0x0E, 0x0D, 0x0C};
    const std::vector<uint8_t> text = {0x84, 0x25, 0xE2, 0xFC, 0xEF, 0x03, 0x55, 0x24, 0x00};
    SecureString plain;
    ASSERT_TRUE(decipher(text, keyBytes, plain));
    EXPECT_EQ(std::string(plain.begin(), plain.end()), std::string("DCBAHGFE"));
}

TEST(Cipher, RoundTripsEveryPaddingLength)
{
    for (std::size_t length = 0; length <= 17; ++length) {
        const std::string original(length, 'k');
        const std::vector<uint8_t> text = encipher(bytesOf(original), kKey);
        EXPECT_EQ(text.size() % 8, 1u);
        EXPECT_EQ(text.back(), (8 - length % 8) % 8);
        SecureString plain;
        ASSERT_TRUE(decipher(text, kKey, plain)) << length;
        EXPECT_EQ(std::string(plain.begin(), plain.end()), original);
    }
}

TEST(Cipher, ShortAndLongKeysAreCutOrZeroExtended)
{
    const std::vector<uint8_t> shortKey = {1, 2, 3};
    std::vector<uint8_t> extended = shortKey;
    extended.resize(16, 0);
    std::vector<uint8_t> longKey = extended;
    longKey.push_back(99);
    const std::vector<uint8_t> text = encipher(bytesOf("key handling"), extended);
    SecureString plain;
    ASSERT_TRUE(decipher(text, shortKey, plain));
    EXPECT_EQ(std::string(plain.begin(), plain.end()), "key handling");
    ASSERT_TRUE(decipher(text, longKey, plain));
    EXPECT_EQ(std::string(plain.begin(), plain.end()), "key handling");
}

TEST(Cipher, MalformedTextsFail)
{
    std::vector<uint8_t> text = encipher(bytesOf("twelve bytes"), kKey);
    SecureString plain("stale");
    std::vector<uint8_t> noPaddingByte(text.begin(), text.end() - 1);
    EXPECT_FALSE(decipher(noPaddingByte, kKey, plain));
    EXPECT_TRUE(plain.empty());
    text.back() = 8;
    EXPECT_FALSE(decipher(text, kKey, plain));
    const std::vector<uint8_t> paddingWithoutBlocks = {3};
    EXPECT_FALSE(decipher(paddingWithoutBlocks, kKey, plain));
}

TEST(StringRecord, RoundTripsUtf8ToWide)
{
    const std::string utf8 = "https://h\xC3\xA9te.example/kestrune?x=1&y=%ls";
    const std::vector<uint8_t> record = makeStringRecord(bytesOf(utf8), kKey, kFiller);
    EXPECT_EQ(wide(decodeStringRecord(record)), L"https://h\u00E9te.example/kestrune?x=1&y=%ls");
}

TEST(StringRecord, KeyIsSpreadOverOddHeaderOffsets)
{
    const std::vector<uint8_t> record = makeStringRecord(bytesOf("abc"), kKey, kFiller);
    ASSERT_GE(record.size(), kHeaderEnd);
    EXPECT_EQ(readBigEndian32(record.data()), record.size() - kHeaderEnd);
    for (std::size_t i = 0; i < 16; ++i) {
        EXPECT_EQ(record[5 + 2 * i], kKey[i]);
        EXPECT_EQ(record[4 + 2 * i], kFiller[i]);
    }
    EXPECT_EQ(gatherKey(record), kKey);
}

TEST(StringRecord, MalformedRecordsDecodeToEmpty)
{
    std::vector<uint8_t> record = makeStringRecord(bytesOf("sixteen chars!!!"), kKey, kFiller);

    // Text length a multiple of 8: the padding byte is missing.
    std::vector<uint8_t> multipleOfEight(record.begin(), record.end() - 1);
    multipleOfEight[3] = static_cast<uint8_t>(multipleOfEight[3] - 1);
    EXPECT_TRUE(decodeStringRecord(multipleOfEight)->empty());

    std::vector<uint8_t> paddingEight = record;
    paddingEight.back() = 8;
    EXPECT_TRUE(decodeStringRecord(paddingEight)->empty());

    std::vector<uint8_t> lengthBeyondRecord = record;
    lengthBeyondRecord[2] = 1;
    EXPECT_TRUE(decodeStringRecord(lengthBeyondRecord)->empty());

    EXPECT_TRUE(decodeStringRecord(std::span<const uint8_t>(record.data(), 20))->empty());
}

TEST(StringRecord, WrongKeyGivesEmptyNotGarbage)
{
    std::vector<uint8_t> record =
        makeStringRecord(bytesOf("http://127.0.0.1:18080/kestrune/updates.xml"), kKey, kFiller);
    record[5] ^= 0x40;
    // Deciphered with the wrong key the text is not valid UTF-8 any more.
    EXPECT_TRUE(decodeStringRecord(record)->empty());
}

TEST(StringRecord, InvalidUtf8GivesEmpty)
{
    const std::vector<uint8_t> record = makeStringRecord(bytesOf("bad \xC3\x28 sequence"), kKey, kFiller);
    EXPECT_TRUE(decodeStringRecord(record)->empty());
}

TEST(PictureTable, FindsEachPictureAndNothingElse)
{
    std::vector<PictureEntry> pictures = {
        {101, bytesOf("first picture")}, {102, {}}, {104, bytesOf(std::string(300, 'p'))}};
    const std::vector<uint8_t> table = makePictureTable(pictures, kKey, kFiller);
    EXPECT_EQ(narrow(decodePicture(table, 101)), "first picture");
    EXPECT_TRUE(decodePicture(table, 102)->empty());
    EXPECT_EQ(narrow(decodePicture(table, 104)), std::string(300, 'p'));
    EXPECT_TRUE(decodePicture(table, 103)->empty());
    EXPECT_TRUE(decodePicture(table, 0)->empty());
}

TEST(PictureTable, WalkStopsAtTheDeclaredEnd)
{
    std::vector<PictureEntry> pictures = {{101, bytesOf("inside")}, {102, bytesOf("outside")}};
    std::vector<uint8_t> table = makePictureTable(pictures, kKey, kFiller);
    const uint32_t firstRecord = 6 + static_cast<uint32_t>(encipher(bytesOf("inside"), kKey).size());
    table[0] = static_cast<uint8_t>(firstRecord >> 24);
    table[1] = static_cast<uint8_t>(firstRecord >> 16);
    table[2] = static_cast<uint8_t>(firstRecord >> 8);
    table[3] = static_cast<uint8_t>(firstRecord);
    EXPECT_EQ(narrow(decodePicture(table, 101)), "inside");
    EXPECT_TRUE(decodePicture(table, 102)->empty());

    // A record claiming more bytes than the table holds is not read.
    std::vector<uint8_t> truncated = makePictureTable(pictures, kKey, kFiller);
    truncated.resize(truncated.size() - 3);
    EXPECT_TRUE(decodePicture(truncated, 102)->empty());
    EXPECT_EQ(narrow(decodePicture(truncated, 101)), "inside");
}

TEST(SecureAllocator, WipesBlockBeforeRelease)
{
    SecureString text;
    watchNextAllocation();
    text.assign(64, 'S');
    ASSERT_EQ(watchedBlock, text.data());
    text.clear();
    text.shrink_to_fit();
    ASSERT_EQ(watchedBytesAtRelease.size(), watchedLength);
    EXPECT_TRUE(allZero(watchedBytesAtRelease));
}

TEST(SecureAllocator, SharedShortTextIsWipedWithItsBlock)
{
    // A short text sits inside the string object (small-string buffer); the
    // one block holding the control block and the object must come back wiped.
    watchNextAllocation();
    auto shared = makeSecureShared<SecureWString>();
    ASSERT_NE(watchedBlock, nullptr);
    shared->assign(L"abc");
    const auto *block = static_cast<const unsigned char *>(watchedBlock);
    const auto *text = reinterpret_cast<const unsigned char *>(shared->data());
    ASSERT_TRUE(text >= block && text < block + watchedLength) << "text is expected in the small-string buffer";
    shared.reset();
    ASSERT_EQ(watchedBytesAtRelease.size(), watchedLength);
    EXPECT_TRUE(allZero(watchedBytesAtRelease));
}

TEST(SecureAllocator, DecodedAddressIsWipedOnLastRelease)
{
    const std::vector<uint8_t> record =
        makeStringRecord(bytesOf("http://127.0.0.1:18080/a/long/enough/address/to/leave/the/object"), kKey, kFiller);
    SharedSecureWString address = decodeStringRecord(record);
    ASSERT_FALSE(address->empty());
    SharedSecureWString secondReference = address;
    // Watch the heap buffer of the text: released only with the last reference.
    watchedBytesAtRelease.clear();
    watchedBlock = address->data();
    watchedLength = address->size() * sizeof(wchar_t);
    address.reset();
    EXPECT_TRUE(watchedBytesAtRelease.empty());
    secondReference.reset();
    ASSERT_EQ(watchedBytesAtRelease.size(), watchedLength);
    EXPECT_TRUE(allZero(watchedBytesAtRelease));
}

TEST(ProtectedStore, GeneratedRecordsHoldTheConfiguredValues)
{
    EXPECT_EQ(wide(manifestAddress()), CONFIGURED_KESTRUNE_MANIFEST_URL);
    EXPECT_EQ(wide(probeAddress()), CONFIGURED_KESTRUNE_PROBE_URL);
    EXPECT_EQ(wide(probeUserAgent()), CONFIGURED_KESTRUNE_PROBE_USER_AGENT);
    EXPECT_EQ(wide(telemetryAddress()), CONFIGURED_KESTRUNE_TELEMETRY_URL);
    EXPECT_EQ(wide(successAddressFormat()), CONFIGURED_KESTRUNE_SUCCESS_URL_FORMAT);
    EXPECT_EQ(wide(finishPageAddress()), CONFIGURED_KESTRUNE_FINISH_URL);
    EXPECT_EQ(wide(certificatePins()), CONFIGURED_KESTRUNE_CERTIFICATE_PINS);
}

TEST(ProtectedStore, GeneratedPictureTableHoldsThePictureFiles)
{
    for (uint16_t id = 101; id <= 105; ++id) {
        const std::wstring path =
            std::wstring(CONFIGURED_STORE_TEST_PICTURE_DIR) + L"\\" + std::to_wstring(id) + L".png";
        const std::string file = readFile(path);
        ASSERT_FALSE(file.empty()) << id;
        EXPECT_EQ(narrow(decodePicture(id)), file) << id;
    }
    EXPECT_TRUE(decodePicture(100)->empty());
    EXPECT_TRUE(decodePicture(106)->empty());
}
