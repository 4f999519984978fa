// The manifest step against the reference server.

#include "tests/support/serverRequests.h"
#include "tests/support/silentListener.h"

#include "package/manifest.h"
#include "telemetry/OperationsLogger.h"

#include <gtest/gtest.h>

#include <string>

using package::fetchUpdateInfoFrom;
using package::ManifestServer;
using package::UpdateInfo;
using testsupport::ReferenceServer;

namespace {

class ManifestFetch : public ::testing::Test {
protected:
    void SetUp() override { logStart = ReferenceServer::requestLog().size(); }

    // Requests of this test only: the server lives as long as the program.
    std::vector<std::string> requestsUnder(const std::string &prefix) const
    {
        return testsupport::requestsUnder(prefix, logStart);
    }

    uint16_t fetch(const std::wstring &manifestPathAndQuery)
    {
        manifestAddress = ReferenceServer::http(manifestPathAndQuery);
        return fetchUpdateInfoFrom(info, server());
    }

    ManifestServer server() const
    {
        return {manifestAddress, probeAddress, L"KestruneProbeTest/1.0", telemetryAddress};
    }

    std::wstring refusedAddress(const std::wstring &path) const
    {
        return L"http://127.0.0.1:" + std::to_wstring(testsupport::closedLoopbackPort()) + path;
    }

    std::size_t logStart = 0;
    UpdateInfo info;
    std::wstring manifestAddress;
    std::wstring probeAddress = ReferenceServer::http(L"/probe");
    std::wstring telemetryAddress = ReferenceServer::http(L"/telemetry/");
};

} // namespace

TEST_F(ManifestFetch, ServedManifestFillsTheRecord)
{
    ASSERT_EQ(fetch(L"/kestrune/updates.xml?version=5.2.0.1700&min_size=150mb"), 0);
    EXPECT_STREQ(info.lastVersion, L"5.2.0.1700");
    // The 64-bit package on 64-bit Windows, also for the 32-bit build under
    // WOW64 (as in a 64-bit prefix).
    BOOL wow64 = FALSE;
    ::IsWow64Process(::GetCurrentProcess(), &wow64);
    const bool windows64 = sizeof(void *) == 8 || wow64;
    EXPECT_EQ(std::wstring(info.downloadUrl),
              ReferenceServer::http(windows64 ? L"/kestrune/packages/x64.zip" : L"/kestrune/packages/x32.zip"));
    EXPECT_EQ(info.minSize, 150ull << 20);
    EXPECT_EQ(info.errorCode, 0u);
    EXPECT_TRUE(requestsUnder("/probe").empty());
    EXPECT_TRUE(requestsUnder("/telemetry/").empty());
}

TEST_F(ManifestFetch, GzipEncodedManifestIsDecoded)
{
    ASSERT_EQ(fetch(L"/kestrune/updates.xml?encoding=gzip&version=1.2&min_size=4GB"), 0);
    EXPECT_STREQ(info.lastVersion, L"1.2");
    EXPECT_EQ(info.minSize, 4ull << 30);
}

TEST_F(ManifestFetch, ManifestRequestCarriesTheInstallerUserAgent)
{
    ASSERT_EQ(fetch(L"/kestrune/updates.xml?agent=check"), 0);
    const std::vector<std::string> log = ReferenceServer::requestLog();
    ASSERT_FALSE(log.empty());
    const std::string agent = testsupport::jsonField(log.back(), "User-Agent");
    EXPECT_EQ(agent, sizeof(void *) == 8 ? "KestruneInstaller/1.0.5 (x64)" : "KestruneInstaller/1.0.5 (x86)");
}

TEST_F(ManifestFetch, StatusAnswersMapToTheirErrors)
{
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?code=465"), 20023);
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?code=503"), 20024);
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?code=500"), 20020);
    EXPECT_EQ(fetch(L"/scenario/status/404?size=10"), 20020);
    EXPECT_EQ(fetch(L"/scenario/status/200?text=not%20xml"), 20021);
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?version=1..2"), 20021);
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?min_size=1.5GB"), 20021);
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?x32="), 20021);
    // Answers that arrived are no request failures: no probe, no report.
    EXPECT_TRUE(requestsUnder("/probe").empty());
    EXPECT_TRUE(requestsUnder("/telemetry/").empty());
    EXPECT_STREQ(info.lastVersion, L"");
    EXPECT_STREQ(info.downloadUrl, L"");
}

TEST_F(ManifestFetch, FailedRequestWithAnsweringProbeGives20011AndReportsFirst)
{
    manifestAddress = refusedAddress(L"/kestrune/updates.xml");
    info.errorCode = 7;
    const uint16_t result = fetchUpdateInfoFrom(info, server());
    EXPECT_EQ(result, 20011);
    // Wine refuses a closed loopback port with 12029 (cannot connect).
    EXPECT_EQ(info.errorCode, 12029u);
    EXPECT_EQ(info.sslErrors, 0u);
    // What the install sequence does next with the step's result.
    telemetry::OperationsLogger::instance().logError(telemetryAddress, 2, result, info.errorCode, info.sslErrors, 1);

    std::vector<std::string> requests = requestsUnder("/");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0], "GET /probe");
    EXPECT_EQ(requests[1], "HEAD /telemetry/log_winhttp_error?placeId=1&winApiErrorId=12029&sslErrors=0"
                           "&operation=WinHttpSendRequest");
    EXPECT_EQ(requests[2], "HEAD /telemetry/log_error?stepId=2&installerErrorId=20011&winApiErrorId=12029&id1=0&id2=1");
}

TEST_F(ManifestFetch, FailedRequestWithSilentProbeGives20022)
{
    manifestAddress = refusedAddress(L"/kestrune/updates.xml");
    probeAddress = refusedAddress(L"/probe");
    EXPECT_EQ(fetchUpdateInfoFrom(info, server()), 20022);
    EXPECT_EQ(info.errorCode, 12029u);
    const std::vector<std::string> requests = requestsUnder("/");
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0], "HEAD /telemetry/log_winhttp_error?placeId=1&winApiErrorId=12029&sslErrors=0"
                           "&operation=WinHttpSendRequest");
}

TEST_F(ManifestFetch, GzipBombTakesTheFailedRequestRoad)
{
    // Decoded, the answer would be 1 GiB: it fails like a corrupt stream.
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?encoding=gzip-bomb"), 20011);
    EXPECT_EQ(info.errorCode, 65001u);
    std::vector<std::string> requests = requestsUnder("/");
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[1], "GET /probe");
    EXPECT_EQ(requests[2].rfind("HEAD /telemetry/log_winhttp_error?placeId=1&winApiErrorId=65001&sslErrors=0"
                                "&operation=MyZlib",
                                0),
              0u)
        << requests[2];

    probeAddress = refusedAddress(L"/probe");
    EXPECT_EQ(fetch(L"/kestrune/updates.xml?encoding=gzip-bomb"), 20022);
    EXPECT_EQ(info.errorCode, 65001u);
    EXPECT_STREQ(info.downloadUrl, L"");
}

TEST_F(ManifestFetch, ProbeUsesItsOwnUserAgent)
{
    manifestAddress = refusedAddress(L"/kestrune/updates.xml");
    EXPECT_EQ(fetchUpdateInfoFrom(info, server()), 20011);
    bool probed = false;
    for (const std::string &line : ReferenceServer::requestLog()) {
        if (testsupport::jsonField(line, "path") == "/probe") {
            EXPECT_EQ(testsupport::jsonField(line, "User-Agent"), "KestruneProbeTest/1.0");
            probed = true;
        }
    }
    EXPECT_TRUE(probed);
}

TEST_F(ManifestFetch, UnansweringServerGivesUpAfterTheTenSecondConnectTimeout)
{
    testsupport::SilentListener listener;
    ASSERT_TRUE(listener.listening());
    // Another host name than the probe's, so that each has its own connection.
    manifestAddress = listener.url(L"/kestrune/updates.xml");
    manifestAddress.replace(manifestAddress.find(L"127.0.0.1"), 9, L"localhost");
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(fetchUpdateInfoFrom(info, server()), 20011);
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    EXPECT_EQ(info.errorCode, 12002u);
    EXPECT_GE(elapsed, 9500u);
    EXPECT_LT(elapsed, 15000u);
}
