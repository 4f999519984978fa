#include "win32lib/http/proxyRules.h"

#include <cwctype>

namespace win32lib::http {

namespace {

constexpr std::size_t kMaxProxyNameChars = 261;

wchar_t lower(wchar_t c) noexcept
{
    return c >= L'A' && c <= L'Z' ? static_cast<wchar_t>(c - L'A' + L'a') : c;
}

bool startsWithNoCase(std::wstring_view text, std::wstring_view prefix) noexcept
{
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (lower(text[i]) != lower(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::wstring_view trim(std::wstring_view text) noexcept
{
    while (!text.empty() && (text.front() == L' ' || text.front() == L'\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == L' ' || text.back() == L'\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Calls `each` with every non-empty entry of `list` split at any of `separators`.
template <typename Each> void forEachEntry(std::wstring_view list, std::wstring_view separators, Each each)
{
    while (!list.empty()) {
        const std::size_t end = list.find_first_of(separators);
        const std::wstring_view entry = trim(list.substr(0, end));
        if (!entry.empty() && each(entry)) {
            return;
        }
        if (end == std::wstring_view::npos) {
            return;
        }
        list.remove_prefix(end + 1);
    }
}

// '*' matches any run of characters, including none.
bool wildcardMatch(std::wstring_view pattern, std::wstring_view text) noexcept
{
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::wstring_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == L'*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && lower(pattern[p]) == lower(text[t])) {
            ++p;
            ++t;
        } else if (star != std::wstring_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == L'*') {
        ++p;
    }
    return p == pattern.size();
}

bool isHttpAddress(std::wstring_view url) noexcept
{
    return startsWithNoCase(url, L"http://") || startsWithNoCase(url, L"https://");
}

bool isPrintable(std::wstring_view text) noexcept
{
    for (const wchar_t c : text) {
        if (c <= L' ' || c > L'~') {
            return false;
        }
    }
    return true;
}

bool isPrintableOrSpace(std::wstring_view text) noexcept
{
    for (const wchar_t c : text) {
        if (c < L' ' || c > L'~') {
            return false;
        }
    }
    return true;
}

} // namespace

bool isValidProxyName(std::wstring_view proxy) noexcept
{
    if (proxy.empty() || proxy.size() > kMaxProxyNameChars || !isPrintable(proxy)) {
        return false;
    }
    const std::size_t colon = proxy.rfind(L':');
    if (colon == 0 || colon == std::wstring_view::npos || colon + 1 == proxy.size() || proxy.size() - colon > 6) {
        return false;
    }
    unsigned long port = 0;
    for (const wchar_t c : proxy.substr(colon + 1)) {
        if (c < L'0' || c > L'9') {
            return false;
        }
        port = port * 10 + static_cast<unsigned long>(c - L'0');
    }
    if (port == 0 || port > 65535) {
        return false;
    }
    for (const wchar_t c : proxy.substr(0, colon)) {
        const bool allowed = (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') ||
                             c == L'.' || c == L'-' || c == L'_';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

std::wstring proxyForScheme(std::wstring_view list, std::wstring_view scheme)
{
    std::wstring plain;
    std::wstring forScheme;
    forEachEntry(list, L"; ", [&](std::wstring_view entry) {
        const std::size_t equals = entry.find(L'=');
        std::wstring_view name = equals == std::wstring_view::npos ? entry : entry.substr(equals + 1);
        if (startsWithNoCase(name, L"http://")) {
            name.remove_prefix(7);
        }
        while (!name.empty() && name.back() == L'/') {
            name.remove_suffix(1);
        }
        if (!isValidProxyName(name)) {
            return false;
        }
        if (equals == std::wstring_view::npos) {
            if (plain.empty()) {
                plain = name;
            }
        } else if (forScheme.empty() && entry.substr(0, equals).size() == scheme.size() &&
                   startsWithNoCase(entry, scheme)) {
            forScheme = name;
        }
        return false;
    });
    return forScheme.empty() ? plain : forScheme;
}

std::wstring proxyFromPacAnswer(std::wstring_view answer)
{
    std::wstring proxy;
    forEachEntry(answer, L";", [&](std::wstring_view entry) {
        if (startsWithNoCase(entry, L"DIRECT")) {
            return true;
        }
        if (startsWithNoCase(entry, L"PROXY ")) {
            entry = trim(entry.substr(6));
        }
        if (isValidProxyName(entry)) {
            proxy = entry;
            return true;
        }
        return false;
    });
    return proxy;
}

bool isBypassed(std::wstring_view host, std::wstring_view bypassList)
{
    bool bypassed = false;
    forEachEntry(bypassList, L"; ,\t\r\n", [&](std::wstring_view entry) {
        if (wildcardMatch(L"<local>", entry)) {
            bypassed = host.find(L'.') == std::wstring_view::npos;
            return bypassed;
        }
        const std::size_t schemeEnd = entry.find(L"://");
        if (schemeEnd != std::wstring_view::npos) {
            entry.remove_prefix(schemeEnd + 3);
        }
        const std::size_t colon = entry.rfind(L':');
        if (colon != std::wstring_view::npos && entry.find(L']') == std::wstring_view::npos) {
            entry = entry.substr(0, colon);
        }
        bypassed = !entry.empty() && wildcardMatch(entry, host);
        return bypassed;
    });
    return bypassed;
}

bool areValidProxySettings(const ProxySettings &settings)
{
    if (settings.proxy.size() > kMaxProxyListChars || settings.bypass.size() > kMaxBypassChars ||
        settings.pacUrl.size() > kMaxPacUrlChars || !isPrintableOrSpace(settings.bypass)) {
        return false;
    }
    if (!settings.pacUrl.empty() && !(isHttpAddress(settings.pacUrl) && isPrintable(settings.pacUrl))) {
        return false;
    }
    if (settings.proxy.empty()) {
        return settings.bypass.empty();
    }
    return !proxyForScheme(settings.proxy, L"http").empty() || !proxyForScheme(settings.proxy, L"https").empty();
}

} // namespace win32lib::http
