#include "telemetry/telemetryAddresses.h"

#include "kestrune/config.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <type_traits>

namespace telemetry {

using win32lib::encryption::SecureAllocator;
using win32lib::encryption::SecureWString;

namespace {

// Appends texts and decimal numbers to a wiping string. (A wide string
// stream did the same and pulled the locale machinery into the program.)
class AddressBuilder {
public:
    AddressBuilder &operator<<(std::wstring_view text)
    {
        address_.append(text.data(), text.size());
        return *this;
    }

    template <typename Number, std::enable_if_t<std::is_integral_v<Number>, int> = 0>
    AddressBuilder &operator<<(Number number)
    {
        using Unsigned = std::make_unsigned_t<Number>;
        Unsigned magnitude = static_cast<Unsigned>(number);
        if constexpr (std::is_signed_v<Number>) {
            if (number < 0) {
                address_.push_back(L'-');
                magnitude = static_cast<Unsigned>(Unsigned{0} - magnitude);
            }
        }
        wchar_t digits[24];
        size_t count = 0;
        do {
            digits[count++] = static_cast<wchar_t>(L'0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        while (count > 0) {
            address_.push_back(digits[--count]);
        }
        return *this;
    }

    SecureWString str() { return std::move(address_); }

private:
    SecureWString address_;
};

} // namespace

SecureWString logSuccessAddress(std::wstring_view base, std::wstring_view campaign, std::wstring_view channel)
{
    AddressBuilder address;
    address << base << L"log_success" << L"?" << L"id1=" << campaign << L"&" << L"id2=" << channel;
    return address.str();
}

SecureWString logErrorAddress(std::wstring_view base, uint32_t stepId, uint32_t installerErrorId,
                              uint32_t winApiErrorId, uint32_t id1, uint32_t id2)
{
    AddressBuilder address;
    address << base << L"log_error" << L"?" << L"stepId=" << stepId << L"&" << L"installerErrorId=" << installerErrorId
            << L"&" << L"winApiErrorId=" << winApiErrorId << L"&" << L"id1=" << id1 << L"&" << L"id2=" << id2;
    return address.str();
}

SecureWString logStopAddress(std::wstring_view base, uint32_t stepId, int64_t timeElapsed)
{
    AddressBuilder address;
    address << base << L"log_stop" << L"?" << L"stepId=" << stepId << L"&" << L"timeElapsed=" << timeElapsed;
    return address.str();
}

SecureWString logWinHttpErrorAddress(std::wstring_view base, uint32_t placeId, uint32_t winApiErrorId,
                                     uint32_t sslErrors, std::string_view operation)
{
    AddressBuilder address;
    address << base << L"log_winhttp_error" << L"?" << L"placeId=" << placeId << L"&" << L"winApiErrorId="
            << winApiErrorId << L"&" << L"sslErrors=" << sslErrors << L"&" << L"operation=";
    for (char c : operation) {
        const wchar_t widened = static_cast<wchar_t>(static_cast<unsigned char>(c));
        address << std::wstring_view(&widened, 1);
    }
    return address.str();
}

SecureWString formatSuccessAddress(const wchar_t *format, const std::wstring &campaign, const std::wstring &channel)
{
    // Measure, then format into exactly that many characters plus the terminator.
    const int length = ::_scwprintf(format, campaign.c_str(), channel.c_str());
    if (length < 0) {
        return {};
    }
    SecureWString address(static_cast<std::size_t>(length) + 1, L'\0');
    if (::_snwprintf(address.data(), address.size(), format, campaign.c_str(), channel.c_str()) != length) {
        return {};
    }
    address.resize(static_cast<std::size_t>(length));
    return address;
}

std::wstring formatUserAgent(std::wstring_view productToken, const std::optional<OsNumbers> &os)
{
    std::wstring agent(productToken);
    if (os) {
        wchar_t numbers[100] = {};
        const OsNumbers &n = *os;
        ::_snwprintf(numbers, std::size(numbers) - 1, L"%d.%d.%d.%d.%d.%d.%d", n[0], n[1], n[2], n[3], n[4], n[5],
                     n[6]);
        agent += L" (";
        agent += numbers;
        agent += L")";
    }
    return agent;
}

std::wstring makeUserAgent()
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    std::optional<OsNumbers> os;
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    const BOOL known = ::GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&version));
#pragma GCC diagnostic pop
    if (known) {
        os = OsNumbers{static_cast<int>(version.dwMajorVersion),    static_cast<int>(version.dwMinorVersion),
                       static_cast<int>(version.wServicePackMajor), static_cast<int>(version.wServicePackMinor),
                       static_cast<int>(version.dwBuildNumber),     static_cast<int>(version.wSuiteMask),
                       static_cast<int>(version.wProductType)};
    }
    return formatUserAgent(KESTRUNE_INSTALLER_USER_AGENT, os);
}

} // namespace telemetry
