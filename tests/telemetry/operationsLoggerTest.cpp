// The telemetry reports as the reference server receives them.

#include "tests/support/serverRequests.h"
#include "tests/support/silentListener.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "telemetry/OperationsLogger.h"
#include "telemetry/telemetryAddresses.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using telemetry::OperationsLogger;
using testsupport::ReferenceServer;

namespace {

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

class Telemetry : public ::testing::Test {
protected:
    void SetUp() override { logStart = ReferenceServer::requestLog().size(); }

    std::vector<std::string> received() const { return testsupport::requestsUnder("/", logStart); }

    std::size_t logStart = 0;
    OperationsLogger &logger = OperationsLogger::instance();
    std::wstring base = ReferenceServer::http(L"/telemetry/");
};

} // namespace

TEST_F(Telemetry, OneProcessWideLogger)
{
    EXPECT_EQ(&OperationsLogger::instance(), &logger);
}

TEST_F(Telemetry, ReportsArriveAsHeadRequestsWithExactQueries)
{
    EXPECT_TRUE(logger.logError(base, 2, 20022, 12007, 0, 1));
    EXPECT_TRUE(logger.logError(base, 3, 20004, 0, 0, 0));
    EXPECT_TRUE(logger.logStop(base, 1, 0));
    EXPECT_TRUE(logger.logStop(base, 4, 123456789012ll));
    EXPECT_TRUE(logger.logWinHttpError(base, 1, 12175, 8, "WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS"));
    EXPECT_EQ(received(),
              (std::vector<std::string>{
                  "HEAD /telemetry/log_error?stepId=2&installerErrorId=20022&winApiErrorId=12007&id1=0&id2=1",
                  "HEAD /telemetry/log_error?stepId=3&installerErrorId=20004&winApiErrorId=0&id1=0&id2=0",
                  "HEAD /telemetry/log_stop?stepId=1&timeElapsed=0",
                  "HEAD /telemetry/log_stop?stepId=4&timeElapsed=123456789012",
                  // WinHTTP escapes the unsafe "|" on the wire, as it does on
                  // Windows without WINHTTP_FLAG_ESCAPE_DISABLE; the program
                  // itself hands it over unchanged.
                  "HEAD /telemetry/log_winhttp_error?placeId=1&winApiErrorId=12175&sslErrors=8"
                  "&operation=WinHttpSetOption%7CWINHTTP_OPTION_SECURITY_FLAGS",
              }));
    const std::vector<std::string> log = ReferenceServer::requestLog();
    ASSERT_FALSE(log.empty());
    EXPECT_EQ(testsupport::jsonField(log.back(), "operation"), "WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS");
}

TEST_F(Telemetry, SuccessSendsTheFormattedAddressThenTheReport)
{
    const std::wstring format = ReferenceServer::http(L"/telemetry/installed?campaign=%ls&channel=%ls");
    // The program's resources 110 and 111 hold "1000" and "1".
    std::wstring campaign;
    std::wstring channel;
    ASSERT_TRUE(app::loadResourceText(app::ids::kCampaignId, campaign));
    ASSERT_TRUE(app::loadResourceText(app::ids::kChannelId, channel));
    EXPECT_TRUE(logger.logSuccess(base, format.c_str(), campaign, channel));
    EXPECT_EQ(received(), (std::vector<std::string>{"HEAD /telemetry/installed?campaign=1000&channel=1",
                                                    "HEAD /telemetry/log_success?id1=1000&id2=1"}));
}

TEST_F(Telemetry, ReportsCarryTheOperatingSystemInTheUserAgent)
{
    EXPECT_TRUE(logger.logStop(base, 5, 42));
    const std::vector<std::string> log = ReferenceServer::requestLog();
    ASSERT_GT(log.size(), logStart);
    EXPECT_EQ(testsupport::jsonField(log.back(), "User-Agent"), narrow(telemetry::makeUserAgent()));
    EXPECT_EQ(testsupport::jsonField(log.back(), "Accept-Encoding"), "gzip, deflate");
}

TEST_F(Telemetry, UnansweringServerCostsAtMostTheShortTimeouts)
{
    // Connections are never accepted: the 1 s connect time-out ends the
    // report and it is dropped.
    testsupport::SilentListener listener;
    ASSERT_TRUE(listener.listening());
    // Named "localhost", not "127.0.0.1": the client keeps one connection per
    // host name, and the one to 127.0.0.1 leads to the reference server.
    std::wstring silentBase = listener.url(L"/telemetry/");
    silentBase.replace(silentBase.find(L"127.0.0.1"), 9, L"localhost");
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_FALSE(logger.logError(silentBase, 4, 20011, 12002, 0, 2));
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    EXPECT_GE(elapsed, 900u);
    EXPECT_LT(elapsed, 2500u);
    EXPECT_EQ(logger.errorCode(), 12002u);
}

TEST_F(Telemetry, RefusedReportIsDroppedAtOnce)
{
    // Another host name than the server's, so that no cached connection is reused.
    const std::wstring refusedBase =
        L"http://localhost:" + std::to_wstring(testsupport::closedLoopbackPort()) + L"/telemetry/";
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_FALSE(logger.logStop(refusedBase, 1, 0));
    EXPECT_LT(::GetTickCount64() - started, 3000u);
    // The next report works as before.
    EXPECT_TRUE(logger.logStop(base, 2, 7));
}
