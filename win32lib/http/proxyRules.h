#pragma once

// The rules that turn the system's proxy settings into a route for one host,
// apart from the WinHTTP calls so that tests can call them directly.

#include <cstddef>
#include <string>
#include <string_view>

namespace win32lib::http {

// The run's proxy settings: discovered once (WinHTTP's machine setting, else
// the user's), or handed over to the elevated copy by the one that started
// it. A host's route is looked for as a browser does: the PAC address, then
// auto-detection, then the static proxy with its bypass list, then direct.
struct ProxySettings {
    bool autoDetect = false;
    std::wstring pacUrl;
    std::wstring proxy;  // the proxy list as written
    std::wstring bypass; // the bypass list as written
    bool operator==(const ProxySettings &) const = default;
    [[nodiscard]] bool configured() const noexcept { return autoDetect || !pacUrl.empty() || !proxy.empty(); }
};

// Longest proxy name, bypass list and PAC address taken from the settings
// (or from a hand-over record); longer ones are refused as a whole.
inline constexpr std::size_t kMaxProxyListChars = 1024;
inline constexpr std::size_t kMaxBypassChars = 4096;
inline constexpr std::size_t kMaxPacUrlChars = 2048;

// The "host:port" a proxy list names for `scheme` ("http" or "https"), in the
// form WinHTTP's named-proxy session takes: "a:1", "a:1;b:2" (the first),
// "http=a:1;https=b:2" (the scheme's entry, else a plain one), with an
// "http://" prefix removed. Empty when the list names none that is valid.
[[nodiscard]] std::wstring proxyForScheme(std::wstring_view list, std::wstring_view scheme);

// The first "PROXY host:port" of a PAC answer; empty for "DIRECT" or
// nothing usable. WinHTTP gives the bare "host:port" as well.
[[nodiscard]] std::wstring proxyFromPacAnswer(std::wstring_view answer);

// A proxy name a session may be opened with: host name or IPv4 address,
// ":port" 1-65535, printable ASCII only, at most 261 characters.
[[nodiscard]] bool isValidProxyName(std::wstring_view proxy) noexcept;

// Whether `host` goes direct by the bypass list: entries separated by ';',
// ',' or white space, compared without case; "*" matches any run of
// characters; "<local>" matches host names without a dot; an entry's
// "scheme://" and ":port" are ignored.
[[nodiscard]] bool isBypassed(std::wstring_view host, std::wstring_view bypassList);

// Settings that may be used as they are: lengths within the limits, a proxy
// list that names a usable proxy, a PAC address that is an http(s) address of
// printable characters, no bypass list without a proxy. A handed-over record
// that fails this is refused.
[[nodiscard]] bool areValidProxySettings(const ProxySettings &settings);

} // namespace win32lib::http
