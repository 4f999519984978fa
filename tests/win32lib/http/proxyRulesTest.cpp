#include "win32lib/http/proxyRules.h"

#include <gtest/gtest.h>

#include <string>

namespace http = win32lib::http;

TEST(ProxyRules, TheSchemesProxyInTheFormANamedProxySessionTakes)
{
    struct Case {
        const wchar_t *list;
        const wchar_t *scheme;
        const wchar_t *proxy;
    };
    const Case cases[] = {
        {L"proxy.corp:3128", L"https", L"proxy.corp:3128"},
        {L"a.corp:1;b.corp:2", L"http", L"a.corp:1"}, // Wine uses only the first
        {L"http=a.corp:1;https=b.corp:2", L"https", L"b.corp:2"},
        {L"http=a.corp:1;https=b.corp:2", L"http", L"a.corp:1"},
        {L"ftp=f.corp:21;c.corp:8080", L"https", L"c.corp:8080"},
        {L"HTTPS=b.corp:2", L"https", L"b.corp:2"},
        {L"http://proxy.corp:3128/", L"http", L"proxy.corp:3128"}, // "http://" makes Wine fail with 12007
        {L"https=b.corp:2", L"http", L""},
        {L"proxy.corp", L"http", L""}, // no port
        {L"proxy.corp:0", L"http", L""},
        {L"proxy.corp:65536", L"http", L""},
        {L"bad\x00e9name:80", L"http", L""},
        {L"", L"http", L""},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(http::proxyForScheme(c.list, c.scheme), c.proxy) << c.list << " " << c.scheme;
    }
}

TEST(ProxyRules, APacAnswerGivesItsFirstProxyOrDirect)
{
    EXPECT_EQ(http::proxyFromPacAnswer(L"PROXY squid.test:3128; DIRECT"), L"squid.test:3128");
    EXPECT_EQ(http::proxyFromPacAnswer(L"squid.test:3128"), L"squid.test:3128");
    EXPECT_EQ(http::proxyFromPacAnswer(L"DIRECT"), L"");
    EXPECT_EQ(http::proxyFromPacAnswer(L"DIRECT; PROXY squid.test:3128"), L"");
    EXPECT_EQ(http::proxyFromPacAnswer(L"PROXY no-port; PROXY b.test:8080"), L"b.test:8080");
    EXPECT_EQ(http::proxyFromPacAnswer(L""), L"");
}

TEST(ProxyRules, BypassListEntriesGoDirect)
{
    struct Case {
        const wchar_t *host;
        const wchar_t *bypass;
        bool bypassed;
    };
    const Case cases[] = {
        {L"127.0.0.1", L"", false},
        {L"localhost", L"<local>", true},
        {L"intranet", L"<local>", true},
        {L"origin.test", L"<local>", false},
        {L"origin.test", L"*.test", true},
        {L"Origin.TEST", L"*.test", true},
        {L"origin.test", L"other.test;origin.test", true},
        {L"origin.test", L"other.test, origin.test", true},
        {L"origin.test", L"http://origin.test:8080", true},
        {L"origin.test", L"*.example;<local>", false},
        {L"10.1.2.3", L"10.*", true},
        {L"origin.test", L"", false},
        {L"originXtest", L"origin.test", false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(http::isBypassed(c.host, c.bypass), c.bypassed) << c.host << " / " << c.bypass;
    }
}

TEST(ProxyRules, SettingsOutsideTheRulesAreRefused)
{
    struct Case {
        bool autoDetect;
        std::wstring pacUrl;
        std::wstring proxy;
        std::wstring bypass;
        bool valid;
    };
    const Case cases[] = {
        {false, L"", L"", L"", true},
        {true, L"", L"", L"", true},
        {false, L"http://127.0.0.1:18080/proxy.pac", L"", L"", true},
        {false, L"", L"squid.test:3128", L"<local>;*.corp", true},
        {true, L"https://wpad.corp/p.pac", L"p.corp:80", L"", true},
        {false, L"file:///c:/p.pac", L"", L"", false},
        {false, L"http://bad url/p.pac", L"", L"", false},
        {false, L"", L"no-port", L"", false},
        {false, L"", L"", L"*.corp", false}, // a bypass list without a proxy
        {false, L"", L"p.corp:80", L"a\r\nb", false},
        {false, L"", std::wstring(http::kMaxProxyListChars - 5, L'a') + L":8080", L"", false},
        {false, L"", L"p.corp:80", std::wstring(http::kMaxBypassChars + 1, L'a'), false},
        {false, L"http://" + std::wstring(http::kMaxPacUrlChars, L'a'), L"", L"", false},
    };
    for (std::size_t i = 0; i < std::size(cases); ++i) {
        http::ProxySettings settings;
        settings.autoDetect = cases[i].autoDetect;
        settings.pacUrl = cases[i].pacUrl;
        settings.proxy = cases[i].proxy;
        settings.bypass = cases[i].bypass;
        EXPECT_EQ(http::areValidProxySettings(settings), cases[i].valid) << i;
    }
}
