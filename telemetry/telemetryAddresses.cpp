#include "telemetry/telemetryAddresses.h"

#include "package/requestSettings.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <sstream>

namespace telemetry {

using Win32Lib::encryption::SecureAllocator;
using Win32Lib::encryption::SecureWString;

namespace {
using SecureStream = std::basic_ostringstream<wchar_t, std::char_traits<wchar_t>, SecureAllocator<wchar_t>>;
}

SecureWString logSuccessAddress(std::wstring_view base, std::wstring_view campaign, std::wstring_view channel)
{
    SecureStream address;
    address << base << L"log_success" << L"?" << L"id1=" << campaign << L"&" << L"id2=" << channel;
    return address.str();
}

SecureWString logErrorAddress(std::wstring_view base, uint32_t stepId, uint32_t installerErrorId,
                              uint32_t winApiErrorId, uint32_t id1, uint32_t id2)
{
    SecureStream address;
    address << base << L"log_error" << L"?" << L"stepId=" << stepId << L"&" << L"installerErrorId=" << installerErrorId
            << L"&" << L"winApiErrorId=" << winApiErrorId << L"&" << L"id1=" << id1 << L"&" << L"id2=" << id2;
    return address.str();
}

SecureWString logStopAddress(std::wstring_view base, uint32_t stepId, int64_t timeElapsed)
{
    SecureStream address;
    address << base << L"log_stop" << L"?" << L"stepId=" << stepId << L"&" << L"timeElapsed=" << timeElapsed;
    return address.str();
}

SecureWString logWinHttpErrorAddress(std::wstring_view base, uint32_t placeId, uint32_t winApiErrorId,
                                     uint32_t sslErrors, std::string_view operation)
{
    SecureStream address;
    address << base << L"log_winhttp_error" << L"?" << L"placeId=" << placeId << L"&" << L"winApiErrorId="
            << winApiErrorId << L"&" << L"sslErrors=" << sslErrors << L"&" << L"operation=";
    for (char c : operation) {
        address << static_cast<wchar_t>(static_cast<unsigned char>(c));
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
    return formatUserAgent(package::kInstallerUserAgent, os);
}

} // namespace telemetry
