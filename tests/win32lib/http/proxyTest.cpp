// Requests through a real proxy (squid, started by server-test --squid) as
// the system's settings route them. The origin's name is known to squid
// alone: a request that reaches it went through the proxy.
//
// The route is read from the reference server's log, which records a request
// before answering it. Squid's own log is no witness: it writes a line only
// after the answer has gone out, often after the client has read it.

// Before <windows.h>, which the other headers pull in.
#include "tests/support/serverRequests.h"

#include "httpTestSupport.h"

#include "package/download.h"
#include "tests/support/process.h"
#include "tests/support/referenceServer.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/HttpClient.h"
#include "win32lib/http/ProxyRouter.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using testsupport::environmentValue;
using testsupport::ReferenceServer;
using win32lib::http::HttpClient;
using win32lib::http::ProxyRouter;
using win32lib::http::ProxySettings;

namespace {

constexpr wchar_t kConnections[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";

// Flags of DefaultConnectionSettings.
constexpr uint32_t kFlagProxy = 2;
constexpr uint32_t kFlagPac = 4;
constexpr uint32_t kFlagAutoDetect = 8;

void appendDword(std::vector<uint8_t> &bytes, uint32_t value)
{
    for (int shift = 0; shift < 32; shift += 8) {
        bytes.push_back(static_cast<uint8_t>(value >> shift));
    }
}

void appendText(std::vector<uint8_t> &bytes, const std::wstring &text)
{
    appendDword(bytes, static_cast<uint32_t>(text.size()));
    for (const wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c));
    }
}

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

// HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER of this process point at fresh
// keys while the object lives, so that WinHTTP reads settings written here
// and nothing else in the shared prefix sees them.
class ScratchSettings {
public:
    ScratchSettings()
    {
        const std::wstring base = L"Software\\KestruneTests\\proxy-" + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                                  std::to_wstring(::GetTickCount64());
        machinePath_ = base + L"-machine";
        userPath_ = base + L"-user";
        ::RegCreateKeyExW(HKEY_CURRENT_USER, machinePath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          machine_.put(), nullptr);
        ::RegCreateKeyExW(HKEY_CURRENT_USER, userPath_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, user_.put(),
                          nullptr);
        redirected_ = machine_ && user_ && ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get()) == 0 &&
                      ::RegOverridePredefKey(HKEY_CURRENT_USER, user_.get()) == 0;
    }
    ~ScratchSettings()
    {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        machine_.reset();
        user_.reset();
        ::RegDeleteTreeW(HKEY_CURRENT_USER, machinePath_.c_str());
        ::RegDeleteTreeW(HKEY_CURRENT_USER, userPath_.c_str());
    }
    ScratchSettings(const ScratchSettings &) = delete;
    ScratchSettings &operator=(const ScratchSettings &) = delete;

    [[nodiscard]] bool redirected() const noexcept { return redirected_; }

    // What WinHttpSetDefaultProxyConfiguration writes (netsh winhttp set proxy).
    [[nodiscard]] bool setMachineProxy(const std::wstring &proxy, const std::wstring &bypass)
    {
        std::vector<uint8_t> bytes;
        appendDword(bytes, 0x18);
        appendDword(bytes, 0);
        appendDword(bytes, kFlagProxy);
        appendText(bytes, proxy);
        appendText(bytes, bypass);
        return write(HKEY_LOCAL_MACHINE, L"WinHttpSettings", bytes);
    }

    // The user's settings as the Internet options write them.
    [[nodiscard]] bool setUserSettings(uint32_t flags, const std::wstring &proxy, const std::wstring &bypass,
                                       const std::wstring &pacUrl)
    {
        std::vector<uint8_t> bytes;
        appendDword(bytes, 0x46);
        appendDword(bytes, 1);
        appendDword(bytes, flags | 1);
        appendText(bytes, proxy);
        appendText(bytes, bypass);
        appendText(bytes, pacUrl);
        bytes.resize(bytes.size() + 32);
        return write(HKEY_CURRENT_USER, L"DefaultConnectionSettings", bytes);
    }

private:
    static bool write(HKEY root, const wchar_t *name, const std::vector<uint8_t> &bytes)
    {
        win32lib::UniqueHKey key;
        return ::RegCreateKeyExW(root, kConnections, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) == 0 &&
               ::RegSetValueExW(key.get(), name, 0, REG_BINARY, bytes.data(), static_cast<DWORD>(bytes.size())) == 0;
    }

    std::wstring machinePath_;
    std::wstring userPath_;
    win32lib::UniqueHKey machine_;
    win32lib::UniqueHKey user_;
    bool redirected_ = false;
};

class ThroughProxy : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(scratch.redirected());
        ASSERT_FALSE(origin.empty());
        ASSERT_TRUE(client.setTimeouts(testsupport::kShortTimeouts));
    }
    // Settings found in the registry, as at the start of a run.
    ProxySettings discover()
    {
        ProxyRouter::instance().useSettings(win32lib::http::discoverProxySettings());
        return ProxyRouter::instance().settings();
    }
    // A body through the client; the tag makes the request findable in the logs.
    bool get(const std::wstring &host, const std::wstring &tag, std::vector<uint8_t> &body)
    {
        body.clear();
        return client.getToBuffer(L"http://" + host + L":" + environmentValue(L"KESTRUNE_TEST_HTTP_PORT") +
                                      L"/scenario/body?size=1000&tag=" + tag,
                                  body) &&
               client.statusCode() == 200;
    }
    enum class Route { Never, Direct, ThroughProxy };
    // Squid names itself in a Via header on what it forwards.
    static Route routeOf(const std::wstring &tag)
    {
        for (const std::string &line : ReferenceServer::requestLog()) {
            if (line.find("tag=" + narrow(tag)) != std::string::npos) {
                return line.find("\"Via\": ") != std::string::npos ? Route::ThroughProxy : Route::Direct;
            }
        }
        return Route::Never;
    }

    ScratchSettings scratch;
    std::wstring origin = environmentValue(L"KESTRUNE_TEST_ORIGIN_HOST");
    std::wstring proxy = L"127.0.0.1:" + environmentValue(L"KESTRUNE_TEST_PROXY_PORT");
    HttpClient client{testsupport::kTestUserAgent};
    std::vector<uint8_t> body;
};

} // namespace

TEST_F(ThroughProxy, NothingConfiguredGoesDirect)
{
    // What a fresh prefix reports: auto-detection on, which finds nothing here.
    ASSERT_TRUE(scratch.setUserSettings(kFlagAutoDetect, L"", L"", L""));
    EXPECT_TRUE(discover().autoDetect);
    EXPECT_TRUE(get(L"127.0.0.1", L"direct-default", body));
    EXPECT_EQ(body, testsupport::patternBytes(1000));
    EXPECT_EQ(routeOf(L"direct-default"), Route::Direct);
    // The origin's name is the proxy's alone.
    EXPECT_FALSE(get(origin, L"direct-origin", body));
    EXPECT_EQ(client.errorCode(), 12007u);
}

TEST_F(ThroughProxy, MachineSettingRoutesEveryHostNotBypassed)
{
    ASSERT_TRUE(scratch.setMachineProxy(proxy, L"localhost"));
    const ProxySettings settings = discover();
    EXPECT_EQ(settings.proxy, proxy);
    EXPECT_EQ(settings.bypass, L"localhost");
    ASSERT_TRUE(get(origin, L"machine-origin", body)) << client.errorCode();
    EXPECT_EQ(body, testsupport::patternBytes(1000));
    EXPECT_EQ(routeOf(L"machine-origin"), Route::ThroughProxy);
    ASSERT_TRUE(get(L"localhost", L"machine-bypassed", body)) << client.errorCode();
    EXPECT_EQ(routeOf(L"machine-bypassed"), Route::Direct);
}

TEST_F(ThroughProxy, UsersStaticProxyWithABypassEntry)
{
    ASSERT_TRUE(scratch.setUserSettings(kFlagProxy, proxy, L"localhost;<local>", L""));
    const ProxySettings settings = discover();
    EXPECT_EQ(settings.proxy, proxy);
    ASSERT_TRUE(get(origin, L"user-origin", body)) << client.errorCode();
    EXPECT_EQ(routeOf(L"user-origin"), Route::ThroughProxy);
    ASSERT_TRUE(get(L"localhost", L"user-bypassed", body)) << client.errorCode();
    EXPECT_EQ(routeOf(L"user-bypassed"), Route::Direct);
}

TEST_F(ThroughProxy, PacAddressServedByTheReferenceServer)
{
    const std::string script = "function FindProxyForURL(url, host) {\n"
                               "  if (host == \"" +
                               narrow(origin) + "\") return \"PROXY " + narrow(proxy) +
                               "; DIRECT\";\n"
                               "  return \"DIRECT\";\n}\n";
    ASSERT_TRUE(testsupport::writeFile(ReferenceServer::documentRoot() + L"\\proxy.pac", script));
    const std::wstring pacUrl = ReferenceServer::http(L"/proxy.pac");
    ASSERT_TRUE(scratch.setUserSettings(kFlagPac, L"", L"", pacUrl));
    EXPECT_EQ(discover().pacUrl, pacUrl);
    ASSERT_TRUE(get(origin, L"pac-origin", body)) << client.errorCode();
    EXPECT_EQ(routeOf(L"pac-origin"), Route::ThroughProxy);
    ASSERT_TRUE(get(L"localhost", L"pac-direct", body)) << client.errorCode();
    EXPECT_EQ(routeOf(L"pac-direct"), Route::Direct);
}

TEST_F(ThroughProxy, RefusingProxyGetsOneDirectAttemptAfterIt)
{
    const std::wstring closedProxy = L"127.0.0.1:" + std::to_wstring(testsupport::closedLoopbackPort());
    ASSERT_TRUE(scratch.setUserSettings(kFlagProxy, closedProxy, L"", L""));
    EXPECT_EQ(discover().proxy, closedProxy);
    ASSERT_TRUE(get(L"localhost", L"fallback-direct", body)) << client.errorCode();
    EXPECT_EQ(body, testsupport::patternBytes(1000));
    EXPECT_EQ(routeOf(L"fallback-direct"), Route::Direct);
}

// Basic over http: through https Wine ignores a 407 to CONNECT.
TEST_F(ThroughProxy, BasicCredentialsAreAskedForOnceAndNeverWithoutAPrompt)
{
    const std::wstring authProxy = L"127.0.0.1:" + environmentValue(L"KESTRUNE_TEST_PROXY_AUTH_PORT");
    ASSERT_TRUE(scratch.setUserSettings(kFlagProxy, authProxy, L"", L""));
    EXPECT_EQ(discover().proxy, authProxy);
    struct Case {
        const char *name;
        bool prompt;
        const wchar_t *password;
        int32_t status;
        int prompts;
    };
    const Case cases[] = {
        {"silent run: nobody is asked", false, L"", 407, 0},
        {"wrong password", true, L"wrong", 407, 1},
        {"right password", true, L"proxy-secret", 200, 1},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        int prompts = 0;
        ProxyRouter::instance().setCredentialPrompt(
            c.prompt ? ProxyRouter::CredentialPrompt(
                           [&](const std::wstring &asking, std::wstring &user, std::wstring &password) {
                               ++prompts;
                               EXPECT_EQ(asking, authProxy);
                               user = L"kestrune";
                               password = c.password;
                               return true;
                           })
                     : ProxyRouter::CredentialPrompt());
        // Two requests: the answer is kept for the run, the user asked once.
        for (int request = 0; request < 2; ++request) {
            body.clear();
            ASSERT_TRUE(client.getToBuffer(L"http://" + origin + L":" + environmentValue(L"KESTRUNE_TEST_HTTP_PORT") +
                                               L"/scenario/body?size=10",
                                           body))
                << client.errorCode();
            EXPECT_EQ(client.statusCode(), c.status);
        }
        EXPECT_EQ(prompts, c.prompts);
    }
    // A package download through a proxy that still refuses ends with an
    // error of its own.
    ProxyRouter::instance().setCredentialPrompt({});
    testsupport::TempFolder folder;
    package::UpdateInfo info;
    const std::wstring url =
        L"http://" + origin + L":" + environmentValue(L"KESTRUNE_TEST_HTTP_PORT") + L"/scenario/body?size=10";
    std::copy_n(url.c_str(), url.size() + 1, info.downloadUrl);
    EXPECT_EQ(package::downloadPackageReportingTo(info, folder.file(L"package.zip"), {},
                                                  ReferenceServer::http(L"/telemetry/")),
              20026);
}
