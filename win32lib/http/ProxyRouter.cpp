#include "win32lib/http/ProxyRouter.h"

#include "win32lib/UniqueResource.h"

#include <windows.h>
#include <winhttp.h>

namespace win32lib::http {

namespace {

// A setting longer than the rules accept is dropped, not cut.
std::wstring boundedText(const wchar_t *text, std::size_t maxChars)
{
    if (text == nullptr) {
        return {};
    }
    const std::size_t length = ::wcsnlen(text, maxChars + 1);
    return length > maxChars ? std::wstring() : std::wstring(text, length);
}

ProxySettings machineSettings()
{
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetDefaultProxyConfiguration(&info)) {
        return {};
    }
    const UniqueGlobalString proxy(info.lpszProxy);
    const UniqueGlobalString bypass(info.lpszProxyBypass);
    ProxySettings settings;
    if (info.dwAccessType == WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        settings.proxy = boundedText(proxy.get(), kMaxProxyListChars);
        settings.bypass = boundedText(bypass.get(), kMaxBypassChars);
    }
    return settings;
}

ProxySettings userSettings()
{
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!::WinHttpGetIEProxyConfigForCurrentUser(&config)) {
        return {};
    }
    const UniqueGlobalString pacUrl(config.lpszAutoConfigUrl);
    const UniqueGlobalString proxy(config.lpszProxy);
    const UniqueGlobalString bypass(config.lpszProxyBypass);
    ProxySettings settings;
    settings.autoDetect = config.fAutoDetect != FALSE;
    settings.pacUrl = boundedText(pacUrl.get(), kMaxPacUrlChars);
    settings.proxy = boundedText(proxy.get(), kMaxProxyListChars);
    settings.bypass = boundedText(bypass.get(), kMaxBypassChars);
    return settings;
}

} // namespace

ProxySettings discoverProxySettings()
{
    ProxySettings settings = machineSettings();
    if (!settings.configured()) {
        settings = userSettings();
    }
    // Settings the rules cannot use are no route at all: the run goes direct,
    // as it did before proxies were looked for.
    return areValidProxySettings(settings) ? settings : ProxySettings{};
}

ProxyRouter &ProxyRouter::instance()
{
    static ProxyRouter router;
    return router;
}

void ProxyRouter::useSettings(const ProxySettings &settings)
{
    const std::lock_guard lock(mutex_);
    settings_ = settings;
    known_ = true;
    pacFailed_ = false;
    autoDetectFailed_ = false;
    routes_.clear();
}

ProxySettings ProxyRouter::settings()
{
    const std::lock_guard lock(mutex_);
    if (!known_) {
        settings_ = discoverProxySettings();
        known_ = true;
    }
    return settings_;
}

std::wstring ProxyRouter::lookUp(std::wstring_view url, bool autoDetect)
{
    // A session of its own, direct, whose time-outs bound the PAC fetch: Wine
    // waits for the answer without limit otherwise.
    const UniqueHInternet session(
        ::WinHttpOpen(L"", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) {
        return {};
    }
    static_cast<void>(
        ::WinHttpSetTimeouts(session.get(), kLookupTimeoutMs, kLookupTimeoutMs, kLookupTimeoutMs, kLookupTimeoutMs));
    DWORD responseTimeout = kLookupTimeoutMs;
    static_cast<void>(::WinHttpSetOption(session.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &responseTimeout,
                                         sizeof(responseTimeout)));
    WINHTTP_AUTOPROXY_OPTIONS options{};
    // Asked separately: both in one call fail with ERROR_INVALID_PARAMETER under Wine.
    if (autoDetect) {
        options.dwFlags = WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    } else {
        options.dwFlags = WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = settings_.pacUrl.c_str();
    }
    options.fAutoLogonIfChallenged = TRUE;
    const std::wstring address(url);
    WINHTTP_PROXY_INFO info{};
    if (!::WinHttpGetProxyForUrl(session.get(), address.c_str(), &options, &info)) {
        (autoDetect ? autoDetectFailed_ : pacFailed_) = true;
        return {};
    }
    const UniqueGlobalString proxy(info.lpszProxy);
    const UniqueGlobalString bypass(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY) {
        return {};
    }
    return proxyFromPacAnswer(boundedText(proxy.get(), kMaxProxyListChars));
}

std::wstring ProxyRouter::proxyFor(std::wstring_view url, std::wstring_view scheme, std::wstring_view host)
{
    const ProxySettings current = settings();
    if (!current.configured()) {
        return {};
    }
    const std::lock_guard lock(mutex_);
    const std::wstring key = std::wstring(scheme) + L"://" + std::wstring(host);
    const auto known = routes_.find(key);
    if (known != routes_.end()) {
        return known->second;
    }
    // A script that answers, even with DIRECT, decides; a failed one passes
    // the decision on, as a browser does.
    std::wstring proxy;
    bool decided = false;
    if (!current.pacUrl.empty() && !pacFailed_) {
        proxy = lookUp(url, false);
        decided = !pacFailed_;
    }
    if (!decided && current.autoDetect && !autoDetectFailed_) {
        proxy = lookUp(url, true);
        decided = !autoDetectFailed_;
    }
    if (!decided && !current.proxy.empty() && !isBypassed(host, current.bypass)) {
        proxy = proxyForScheme(current.proxy, scheme);
    }
    routes_.emplace(key, proxy);
    return proxy;
}

void ProxyRouter::setCredentialPrompt(CredentialPrompt prompt)
{
    const std::lock_guard lock(mutex_);
    prompt_ = std::move(prompt);
    credentials_.clear();
}

bool ProxyRouter::basicCredentials(const std::wstring &proxy, std::wstring &user, std::wstring &password)
{
    const std::lock_guard lock(mutex_);
    auto known = credentials_.find(proxy);
    if (known == credentials_.end()) {
        Credentials asked;
        asked.given = prompt_ && prompt_(proxy, asked.user, asked.password);
        known = credentials_.emplace(proxy, std::move(asked)).first;
    }
    if (!known->second.given) {
        return false;
    }
    user = known->second.user;
    password = known->second.password;
    return true;
}

} // namespace win32lib::http
