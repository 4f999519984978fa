#include "package/manifestParsing.h"

#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

using package::parseMinSize;
using package::readManifest;
using package::UpdateInfo;
using package::validateManifestFields;

namespace {

const std::wstring kX32 = L"http://127.0.0.1:18080/kestrune/package-x32.zip";
const std::wstring kX64 = L"http://127.0.0.1:18080/kestrune/package-x64.zip";

bool versionPasses(const std::wstring &version)
{
    return validateManifestFields(version, kX32, kX64, L"150MB");
}

bool sizePasses(const std::wstring &size)
{
    return validateManifestFields(L"1.2.3.4", kX32, kX64, size);
}

std::string manifest(const std::string &version, const std::string &x32, const std::string &x64,
                     const std::string &minSize)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<updates><lastVersion>" + version +
           "</lastVersion><downloadUrl><x32>" + x32 + "</x32><x64>" + x64 + "</x64></downloadUrl><minSize>" + minSize +
           "</minSize></updates>";
}

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

uint16_t read(const std::string &body, bool windows64, UpdateInfo &info)
{
    return readManifest(std::span<const char>(body.data(), body.size()), windows64, info);
}

} // namespace

TEST(ManifestValidation, VersionPattern)
{
    for (const wchar_t *version : {L"1.2.3.4", L"7", L"1.2", L"1.2.", L"1.2.3.", L"10.0.19045.3803"}) {
        EXPECT_TRUE(versionPasses(version)) << narrow(version);
    }
    for (const wchar_t *version : {L"", L"1.2.3.4.5", L"1.2.3.4.", L"v1.2", L"1..2", L".1", L"1.2a", L" 1.2", L"1.2\n",
                                   L"\xFF11.\xFF12", L"1\u0662"}) {
        EXPECT_FALSE(versionPasses(version)) << narrow(version);
    }
}

TEST(ManifestValidation, SizePatternAcceptsUnitsInAnyCase)
{
    for (const wchar_t *size : {L"150MB", L"150mb", L"150Mb", L"4096", L"12KB", L"1kb", L"4GB", L"0"}) {
        EXPECT_TRUE(sizePasses(size)) << narrow(size);
    }
    for (const wchar_t *size : {L"", L"150 MB", L"1.5GB", L"MB", L"150TB", L"150B", L"-5", L"150MBs", L"150M", L"150\n",
                                L"\xFF11\xFF15MB", L"150BM"}) {
        EXPECT_FALSE(sizePasses(size)) << narrow(size);
    }
}

TEST(ManifestValidation, BothPackageAddressesMustBeUsable)
{
    EXPECT_TRUE(validateManifestFields(L"1.0", kX32, kX64, L"1"));
    EXPECT_FALSE(validateManifestFields(L"1.0", L"", kX64, L"1"));
    EXPECT_FALSE(validateManifestFields(L"1.0", kX32, L"", L"1"));
    EXPECT_FALSE(validateManifestFields(L"1.0", L"not an address", kX64, L"1"));
    EXPECT_FALSE(validateManifestFields(L"1.0", kX32, L"ftp//missing-colon/x.zip", L"1"));
}

TEST(ManifestSize, UnitsShiftByPowersOfTwo)
{
    EXPECT_EQ(parseMinSize(L"150MB"), 150ull << 20);
    EXPECT_EQ(parseMinSize(L"150mb"), 150ull << 20);
    EXPECT_EQ(parseMinSize(L"12Kb"), 12ull << 10);
    EXPECT_EQ(parseMinSize(L"4096"), 4096ull);
    EXPECT_EQ(parseMinSize(L"3gb"), 3ull << 30);
}

TEST(ManifestSize, FourGigabytesIsNotZero)
{
    EXPECT_EQ(parseMinSize(L"4GB"), 4ull << 30);
    EXPECT_EQ(parseMinSize(L"4194304KB"), 4ull << 30);
    EXPECT_EQ(parseMinSize(L"5000000000"), 5000000000ull);
    EXPECT_EQ(parseMinSize(L"99999999999999999999999GB"), UINT64_MAX);
}

TEST(ManifestDocument, ValidManifestFillsTheRecord)
{
    UpdateInfo info;
    ASSERT_EQ(read(manifest("1.2.3.4", narrow(kX32), narrow(kX64), "150MB"), true, info), 0);
    EXPECT_STREQ(info.lastVersion, L"1.2.3.4");
    EXPECT_EQ(info.downloadUrl, kX64);
    EXPECT_EQ(info.minSize, 150ull << 20);

    UpdateInfo info32;
    ASSERT_EQ(read(manifest("1.2.3.4", narrow(kX32), narrow(kX64), "4GB"), false, info32), 0);
    EXPECT_EQ(info32.downloadUrl, kX32);
    EXPECT_EQ(info32.minSize, 4ull << 30);
}

TEST(ManifestDocument, EmptyX32FailsEvenWhenX64IsUsed)
{
    UpdateInfo info;
    EXPECT_EQ(read(manifest("1.2.3.4", "", narrow(kX64), "150MB"), true, info), 20021);
    EXPECT_STREQ(info.downloadUrl, L"");
    EXPECT_STREQ(info.lastVersion, L"");
    EXPECT_EQ(info.minSize, 0u);
}

TEST(ManifestDocument, LongVersionIsTruncatedToFourteenCharacters)
{
    UpdateInfo info;
    ASSERT_EQ(read(manifest("12345.67890.12345.67890", narrow(kX32), narrow(kX64), "1"), true, info), 0);
    EXPECT_STREQ(info.lastVersion, L"12345.67890.12");
}

TEST(ManifestDocument, LongAddressIsTruncatedTo199Characters)
{
    const std::string longAddress = "http://127.0.0.1:18080/" + std::string(250, 'a') + ".zip";
    UpdateInfo info;
    ASSERT_EQ(read(manifest("1", longAddress, longAddress, "1"), true, info), 0);
    EXPECT_EQ(std::wstring(info.downloadUrl).size(), 199u);
    EXPECT_EQ(narrow(info.downloadUrl), longAddress.substr(0, 199));
}

TEST(ManifestDocument, MalformedOrIncompleteDocumentsFail)
{
    UpdateInfo info;
    EXPECT_EQ(read("<updates><lastVersion>1</lastVersion>", true, info), 20021);
    EXPECT_EQ(read("", true, info), 20021);
    EXPECT_EQ(read("<updates><lastVersion>1</lastVersion><downloadUrl><x32>" + narrow(kX32) + "</x32><x64>" +
                       narrow(kX64) + "</x64></downloadUrl></updates>",
                   true, info),
              20021);
    // Element names are case-sensitive.
    EXPECT_EQ(read("<Updates><lastVersion>1</lastVersion><downloadUrl><x32>" + narrow(kX32) + "</x32><x64>" +
                       narrow(kX64) + "</x64></downloadUrl><minSize>1</minSize></Updates>",
                   true, info),
              20021);
    EXPECT_STREQ(info.lastVersion, L"");
}

TEST(ManifestDocument, AttributesAndOtherElementsAreIgnored)
{
    UpdateInfo info;
    const std::string body = "<updates channel=\"beta\"><notes>ignored</notes><lastVersion build=\"x\">2.0"
                             "</lastVersion><downloadUrl><x32>" +
                             narrow(kX32) + "</x32><x64>" + narrow(kX64) +
                             "</x64><arm64>x</arm64></downloadUrl><minSize>1KB</minSize></updates>";
    ASSERT_EQ(read(body, true, info), 0);
    EXPECT_STREQ(info.lastVersion, L"2.0");
    EXPECT_EQ(info.minSize, 1024u);
}

TEST(ManifestDocument, Utf16DocumentIsDetected)
{
    const std::wstring text = L"\uFEFF<updates><lastVersion>3.1</lastVersion><downloadUrl><x32>" + kX32 +
                              L"</x32><x64>" + kX64 + L"</x64></downloadUrl><minSize>7mb</minSize></updates>";
    std::string body(text.size() * 2, '\0');
    std::memcpy(body.data(), text.data(), body.size());
    UpdateInfo info;
    ASSERT_EQ(read(body, true, info), 0);
    EXPECT_STREQ(info.lastVersion, L"3.1");
    EXPECT_EQ(info.minSize, 7ull << 20);
}

namespace {

// sha256("abc"), as a server could write it.
const std::string kAbcHash = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
const win32lib::encryption::Sha256Digest kAbcDigest = {0xba, 0x78, 0x16, 0xbf, 0x8f, 0x01, 0xcf, 0xea, 0x41, 0x41, 0x40,
                                                       0xde, 0x5d, 0xae, 0x22, 0x23, 0xb0, 0x03, 0x61, 0xa3, 0x96, 0x17,
                                                       0x7a, 0x9c, 0xb4, 0x10, 0xff, 0x61, 0xf2, 0x00, 0x15, 0xad};

// A manifest whose entries carry the given attribute texts (nothing: none).
std::string manifestWithHashes(const char *x32Attribute, const char *x64Attribute)
{
    const auto entry = [](const char *name, const char *attribute, const std::wstring &url) {
        const std::string hash = attribute != nullptr ? std::string(" sha256=\"") + attribute + "\"" : "";
        return "<" + std::string(name) + hash + ">" + narrow(url) + "</" + name + ">";
    };
    return "<updates><lastVersion>1.0</lastVersion><downloadUrl>" + entry("x32", x32Attribute, kX32) +
           entry("x64", x64Attribute, kX64) + "</downloadUrl><minSize>1MB</minSize></updates>";
}

std::string upper(std::string text)
{
    for (char &c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

} // namespace

TEST(ManifestPackageHash, ChosenEntrysHashIsCarriedInEitherCase)
{
    const std::string mixed = upper(kAbcHash.substr(0, 32)) + kAbcHash.substr(32);
    for (const std::string &text : {kAbcHash, upper(kAbcHash), mixed}) {
        SCOPED_TRACE(text);
        for (const bool windows64 : {true, false}) {
            const std::string other(64, '0');
            UpdateInfo info;
            const std::string body = windows64 ? manifestWithHashes(other.c_str(), text.c_str())
                                               : manifestWithHashes(text.c_str(), other.c_str());
            ASSERT_EQ(read(body, windows64, info), 0);
            EXPECT_TRUE(info.hasPackageSha256);
            EXPECT_EQ(info.packageSha256, kAbcDigest);
            EXPECT_EQ(info.downloadUrl, windows64 ? kX64 : kX32);
        }
    }
}

TEST(ManifestPackageHash, NoAttributeMeansNoHash)
{
    for (const bool windows64 : {true, false}) {
        UpdateInfo info;
        ASSERT_EQ(read(manifestWithHashes(nullptr, nullptr), windows64, info), 0);
        EXPECT_FALSE(info.hasPackageSha256);
        EXPECT_EQ(info.downloadUrl, windows64 ? kX64 : kX32);
    }
    // Only the chosen entry's hash counts: the other one's is carried nowhere.
    UpdateInfo info;
    ASSERT_EQ(read(manifestWithHashes(kAbcHash.c_str(), nullptr), true, info), 0);
    EXPECT_FALSE(info.hasPackageSha256);
}

TEST(ManifestPackageHash, MalformedHashOnEitherEntryFailsValidation)
{
    const std::string shortHash = kAbcHash.substr(1);
    const std::string longHash = kAbcHash + "0";
    const std::string nonHex = "g" + kAbcHash.substr(1);
    const std::string spaced = " " + kAbcHash.substr(1);
    const std::string prefixed = "0x" + kAbcHash.substr(2);
    for (const std::string &bad : {std::string(), shortHash, longHash, nonHex, spaced, prefixed}) {
        SCOPED_TRACE(bad);
        for (const bool onX64 : {true, false}) {
            UpdateInfo info;
            const std::string body = onX64 ? manifestWithHashes(kAbcHash.c_str(), bad.c_str())
                                           : manifestWithHashes(bad.c_str(), kAbcHash.c_str());
            EXPECT_EQ(read(body, true, info), 20021);
            EXPECT_FALSE(info.hasPackageSha256);
            EXPECT_STREQ(info.downloadUrl, L"");
        }
    }
}
