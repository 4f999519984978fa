#include "package/manifestParsing.h"

#include "package/installErrors.h"

#include <pugixml.hpp>

#ifdef _WIN32
#include <windows.h>
#include <winhttp.h>
#endif

#include <algorithm>
#include <cwctype>
#include <limits>
#include <optional>
#include <string_view>

namespace package {

namespace {

bool isAsciiDigit(wchar_t c)
{
    return c >= L'0' && c <= L'9';
}

#ifdef _WIN32

bool isCrackableUrl(const std::wstring &url)
{
    URL_COMPONENTS components = {};
    components.dwStructSize = sizeof(components);
    // Asking for every part makes WinHTTP check the whole address.
    components.dwSchemeLength = static_cast<DWORD>(-1);
    components.dwHostNameLength = static_cast<DWORD>(-1);
    components.dwUrlPathLength = static_cast<DWORD>(-1);
    components.dwExtraInfoLength = static_cast<DWORD>(-1);
    return ::WinHttpCrackUrl(url.c_str(), static_cast<DWORD>(url.size()), 0, &components) != FALSE;
}

#else

// Built for the build machine (the manifest's fuzz target), which has no
// WinHTTP: the address is the same check's outline, a scheme of http or
// https, a host and an optional port from 1 to 65535. The program itself
// asks WinHTTP, whose decision is the one that counts when it downloads.
bool isCrackableUrl(const std::wstring &url)
{
    const auto startsWith = [&](std::wstring_view prefix) {
        return url.size() >= prefix.size() &&
               std::equal(prefix.begin(), prefix.end(), url.begin(),
                          [](wchar_t a, wchar_t b) { return static_cast<wchar_t>(std::towlower(a)) == b; });
    };
    const size_t schemeEnd = startsWith(L"http://") ? 7 : startsWith(L"https://") ? 8 : 0;
    if (schemeEnd == 0) {
        return false;
    }
    const size_t authorityEnd = std::min(url.find_first_of(L"/?#", schemeEnd), url.size());
    const std::wstring_view authority = std::wstring_view(url).substr(schemeEnd, authorityEnd - schemeEnd);
    const size_t colon = authority.rfind(L':');
    if (authority.empty() || colon == 0) {
        return false;
    }
    if (colon == std::wstring_view::npos) {
        return true;
    }
    const std::wstring_view port = authority.substr(colon + 1);
    uint32_t value = 0;
    for (const wchar_t c : port) {
        if (!isAsciiDigit(c) || value > 65535) {
            return false;
        }
        value = value * 10 + static_cast<uint32_t>(c - L'0');
    }
    return port.empty() || (value >= 1 && value <= 65535);
}

#endif

// The whole text matches ^(\d+\.)?(\d+\.)?(\d+\.)?(\d+)?$: at most three
// "digits." groups, then digits or nothing. Written out rather than with
// std::wregex, which doubled the size of the program; \d is ASCII only.
bool matchesVersionPattern(const std::wstring &text)
{
    size_t position = 0;
    int groups = 0;
    for (;;) {
        const size_t digitsStart = position;
        while (position < text.size() && isAsciiDigit(text[position])) {
            ++position;
        }
        if (position == text.size()) {
            return true;
        }
        if (position == digitsStart || text[position] != L'.' || groups == 3) {
            return false;
        }
        ++position;
        ++groups;
    }
}

// ^\d+(MB|KB|GB)?$, the unit in any case.
bool matchesSizePattern(const std::wstring &text)
{
    size_t digits = 0;
    while (digits < text.size() && isAsciiDigit(text[digits])) {
        ++digits;
    }
    if (digits == 0) {
        return false;
    }
    const size_t rest = text.size() - digits;
    if (rest == 0) {
        return true;
    }
    if (rest != 2) {
        return false;
    }
    const wchar_t unit = static_cast<wchar_t>(std::towupper(text[digits]));
    const wchar_t b = static_cast<wchar_t>(std::towupper(text[digits + 1]));
    return (unit == L'M' || unit == L'K' || unit == L'G') && b == L'B';
}

// An absent attribute means no hash; a present one must be well formed.
bool readPackageHash(const pugi::xml_node &entry, std::optional<win32lib::encryption::Sha256Digest> &digest)
{
    const pugi::xml_attribute attribute = entry.attribute(L"sha256");
    if (!attribute) {
        digest.reset();
        return true;
    }
    digest.emplace();
    return parseSha256Text(attribute.value(), *digest);
}

template <std::size_t N> void copyTruncated(wchar_t (&target)[N], const std::wstring &text)
{
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.begin(), length, target);
    target[length] = L'\0';
}

} // namespace

bool validateManifestFields(const std::wstring &lastVersion, const std::wstring &x32, const std::wstring &x64,
                            const std::wstring &minSize)
{
    if (lastVersion.empty() || !matchesVersionPattern(lastVersion)) {
        return false;
    }
    // Both addresses must be usable although only one is downloaded.
    if (x32.empty() || x64.empty() || !isCrackableUrl(x32) || !isCrackableUrl(x64)) {
        return false;
    }
    return !minSize.empty() && matchesSizePattern(minSize);
}

uint64_t parseMinSize(const std::wstring &minSize)
{
    constexpr uint64_t kMax = std::numeric_limits<uint64_t>::max();
    uint64_t value = 0;
    std::size_t position = 0;
    for (; position < minSize.size() && minSize[position] >= L'0' && minSize[position] <= L'9'; ++position) {
        const uint64_t digit = static_cast<uint64_t>(minSize[position] - L'0');
        value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
    }
    std::wstring unit = minSize.substr(position);
    std::transform(unit.begin(), unit.end(), unit.begin(), [](wchar_t c) { return std::towupper(c); });
    unsigned shift = 0;
    if (unit == L"GB") {
        shift = 30;
    } else if (unit == L"MB") {
        shift = 20;
    } else if (unit == L"KB") {
        shift = 10;
    }
    return value > (kMax >> shift) ? kMax : value << shift;
}

uint16_t readManifest(std::span<const char> body, bool windows64, UpdateInfo &info)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed =
        document.load_buffer(body.data(), body.size(), pugi::parse_default, pugi::encoding_auto);
    if (parsed.status != pugi::status_ok) {
        return kErrorBadManifest;
    }
    const pugi::xml_node updates = document.child(L"updates");
    const std::wstring lastVersion = updates.child(L"lastVersion").text().get();
    const pugi::xml_node downloadUrl = updates.child(L"downloadUrl");
    const pugi::xml_node x32Entry = downloadUrl.child(L"x32");
    const pugi::xml_node x64Entry = downloadUrl.child(L"x64");
    const std::wstring x32 = x32Entry.text().get();
    const std::wstring x64 = x64Entry.text().get();
    const std::wstring minSize = updates.child(L"minSize").text().get();
    if (!validateManifestFields(lastVersion, x32, x64, minSize)) {
        return kErrorBadManifest;
    }
    // Both hashes are checked although only one is used, like the addresses.
    std::optional<win32lib::encryption::Sha256Digest> x32Hash;
    std::optional<win32lib::encryption::Sha256Digest> x64Hash;
    if (!readPackageHash(x32Entry, x32Hash) || !readPackageHash(x64Entry, x64Hash)) {
        return kErrorBadManifest;
    }
    copyTruncated(info.lastVersion, lastVersion);
    copyTruncated(info.downloadUrl, windows64 ? x64 : x32);
    info.minSize = parseMinSize(minSize);
    const std::optional<win32lib::encryption::Sha256Digest> &packageHash = windows64 ? x64Hash : x32Hash;
    info.hasPackageSha256 = packageHash.has_value();
    info.packageSha256 = packageHash.value_or(win32lib::encryption::Sha256Digest{});
    return kInstallOk;
}

} // namespace package
