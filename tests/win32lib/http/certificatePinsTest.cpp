#include "win32lib/http/certificatePins.h"

#include <gtest/gtest.h>

#include <string>

namespace http = win32lib::http;

namespace {

const std::wstring kDigestHex = L"00112233445566778899aabbccddeeffFFEEDDCCBBAA99887766554433221100";
constexpr http::HttpClient::CertificateDigest kDigest = {
    0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xaa, 0xbb, 0xcc, 0xdd, 0xee, 0xff,
    0xff, 0xee, 0xdd, 0xcc, 0xbb, 0xaa, 0x99, 0x88, 0x77, 0x66, 0x55, 0x44, 0x33, 0x22, 0x11, 0x00};

std::wstring entries(size_t count)
{
    std::wstring text;
    for (size_t i = 0; i < count; ++i) {
        text += (i == 0 ? L"" : L";") + std::wstring(L"host") + std::to_wstring(i) + L"=" + kDigestHex;
    }
    return text;
}

} // namespace

TEST(CertificatePins, WellFormedListsGiveTheirPinsInOrder)
{
    struct Case {
        std::wstring text;
        std::vector<http::CertificatePin> pins;
    };
    http::HttpClient::CertificateDigest zero{};
    const std::vector<Case> cases = {
        {L"", {}},
        {L"localhost=" + kDigestHex, {{L"localhost", kDigest}}},
        {L"downloads.example.com=" + kDigestHex + L";cdn-1.example.com=" + std::wstring(64, L'0'),
         {{L"downloads.example.com", kDigest}, {L"cdn-1.example.com", zero}}},
        {std::wstring(http::kMaxPinnedHostLength, L'a') + L"=" + kDigestHex,
         {{std::wstring(http::kMaxPinnedHostLength, L'a'), kDigest}}},
    };
    for (const Case &c : cases) {
        const auto pins = http::parseCertificatePins(c.text);
        ASSERT_TRUE(pins.has_value()) << std::string(c.text.begin(), c.text.end());
        EXPECT_EQ(*pins, c.pins);
    }
    const auto most = http::parseCertificatePins(entries(http::kMaxCertificatePins));
    ASSERT_TRUE(most.has_value());
    EXPECT_EQ(most->size(), http::kMaxCertificatePins);
}

TEST(CertificatePins, AnyMalformedEntryRefusesTheWholeList)
{
    const std::wstring good = L"localhost=" + kDigestHex;
    for (const std::wstring &text : std::vector<std::wstring>{
             L";",
             good + L";",
             L";" + good,
             good + L";;" + good,
             L"localhost",
             L"=" + kDigestHex,
             L"localhost=" + kDigestHex.substr(1),
             L"localhost=" + kDigestHex + L"0",
             L"localhost=" + kDigestHex.substr(2) + L"0g",
             L"localhost==" + kDigestHex.substr(1),
             L"localhost:18443=" + kDigestHex,
             L"local host=" + kDigestHex,
             L" localhost=" + kDigestHex,
             L"localhost=" + kDigestHex + L" ",
             L"xn--bcher-kva.example=" + kDigestHex.substr(0, 62) + L"\u0660\u0661",
             std::wstring(http::kMaxPinnedHostLength + 1, L'a') + L"=" + kDigestHex,
             entries(http::kMaxCertificatePins + 1),
         }) {
        EXPECT_FALSE(http::parseCertificatePins(text).has_value()) << std::string(text.begin(), text.end());
    }
}
