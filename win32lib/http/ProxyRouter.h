#pragma once

#include "win32lib/http/proxyRules.h"

#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

namespace win32lib::http {

// The system's proxy settings as a browser finds them: WinHTTP's machine
// setting first (what deployments running as SYSTEM rely on), else the
// current user's (static proxy with bypass list, PAC address, auto-detection).
// Nothing configured gives empty settings: every request goes direct.
[[nodiscard]] ProxySettings discoverProxySettings();

// The run's settings and the route of each host: one object per process,
// shared by every HTTP client, so that the settings are found once per run.
// Thread-safe.
class ProxyRouter {
public:
    [[nodiscard]] static ProxyRouter &instance();

    // Settings to use instead of discovering them (the elevated copy takes
    // its starter's). Forgets every route found so far.
    void useSettings(const ProxySettings &settings);
    // The settings, discovered on the first call unless given before.
    [[nodiscard]] ProxySettings settings();

    // The "host:port" of the proxy for a request to `url` (whose scheme and
    // host are given as well); empty to go direct. A PAC or auto-detect answer
    // is asked for once per scheme and host, bounded by kLookupTimeoutMs; a
    // failed auto-detection is not repeated in this run.
    [[nodiscard]] std::wstring proxyFor(std::wstring_view url, std::wstring_view scheme, std::wstring_view host);

    static constexpr int kLookupTimeoutMs = 5000;

    // Asks the user for a proxy's Basic credentials: (proxy, user, password)
    // -> false when the user gave none.
    using CredentialPrompt = std::function<bool(const std::wstring &, std::wstring &, std::wstring &)>;
    // Interactive runs set one; without it (silent runs) nobody is asked.
    void setCredentialPrompt(CredentialPrompt prompt);
    // The credentials for `proxy`: the user is asked once per proxy and run,
    // and the answer is kept in memory only, never stored.
    [[nodiscard]] bool basicCredentials(const std::wstring &proxy, std::wstring &user, std::wstring &password);

private:
    ProxyRouter() = default;
    std::wstring lookUp(std::wstring_view url, bool autoDetect);

    std::mutex mutex_;
    bool known_ = false;
    ProxySettings settings_;
    bool pacFailed_ = false;
    bool autoDetectFailed_ = false;
    std::map<std::wstring, std::wstring> routes_;
    CredentialPrompt prompt_;
    struct Credentials {
        bool given = false;
        std::wstring user;
        std::wstring password;
    };
    std::map<std::wstring, Credentials> credentials_;
};

} // namespace win32lib::http
