#include "telemetry/telemetryAddresses.h"

#include "package/userAgent.h"

#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <sstream>
#include <vector>

namespace telemetry {

std::wstring logSuccessAddress(std::wstring_view base, std::wstring_view campaign, std::wstring_view channel)
{
    std::wostringstream address;
    address << base << L"log_success" << L"?" << L"id1=" << campaign << L"&" << L"id2=" << channel;
    return address.str();
}

std::wstring logErrorAddress(std::wstring_view base, uint32_t stepId, uint32_t installerErrorId,
                             uint32_t winApiErrorId, uint32_t id1, uint32_t id2)
{
    std::wostringstream address;
    address << base << L"log_error" << L"?" << L"stepId=" << stepId << L"&" << L"installerErrorId="
            << installerErrorId << L"&" << L"winApiErrorId=" << winApiErrorId << L"&" << L"id1=" << id1 << L"&"
            << L"id2=" << id2;
    return address.str();
}

std::wstring logStopAddress(std::wstring_view base, uint32_t stepId, int64_t timeElapsed)
{
    std::wostringstream address;
    address << base << L"log_stop" << L"?" << L"stepId=" << stepId << L"&" << L"timeElapsed=" << timeElapsed;
    return address.str();
}

std::wstring logWinHttpErrorAddress(std::wstring_view base, uint32_t placeId, uint32_t winApiErrorId,
                                    uint32_t sslErrors, std::string_view operation)
{
    std::wostringstream address;
    address << base << L"log_winhttp_error" << L"?" << L"placeId=" << placeId << L"&" << L"winApiErrorId="
            << winApiErrorId << L"&" << L"sslErrors=" << sslErrors << L"&" << L"operation=";
    for (char c : operation) {
        address << static_cast<wchar_t>(static_cast<unsigned char>(c));
    }
    return address.str();
}

std::wstring formatSuccessAddress(const std::wstring &format, const std::wstring &campaign,
                                  const std::wstring &channel)
{
    const int length = ::_scwprintf(format.c_str(), campaign.c_str(), channel.c_str());
    if (length < 0) {
        return {};
    }
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1, L'\0');
    if (::_snwprintf(buffer.data(), buffer.size(), format.c_str(), campaign.c_str(), channel.c_str()) != length) {
        return {};
    }
    return std::wstring(buffer.data(), static_cast<std::size_t>(length));
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
        os = OsNumbers{static_cast<int>(version.dwMajorVersion),
                       static_cast<int>(version.dwMinorVersion),
                       static_cast<int>(version.wServicePackMajor),
                       static_cast<int>(version.wServicePackMinor),
                       static_cast<int>(version.dwBuildNumber),
                       static_cast<int>(version.wSuiteMask),
                       static_cast<int>(version.wProductType)};
    }
    return formatUserAgent(package::kInstallerUserAgent, os);
}

} // namespace telemetry
