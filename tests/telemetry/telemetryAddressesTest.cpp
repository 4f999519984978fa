#include "installer/Installer.h"
#include "telemetry/OperationsLogger.h"
#include "telemetry/telemetryAddresses.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

using namespace telemetry;

namespace {
std::wstring plain(const win32lib::encryption::SecureWString &text)
{
    return std::wstring(text.begin(), text.end());
}

const std::wstring kBase = L"http://127.0.0.1:18080/telemetry/";
} // namespace

TEST(TelemetryAddresses, ErrorReportLayout)
{
    EXPECT_EQ(plain(logErrorAddress(kBase, 2, 20022, 12007, 0, 1)),
              kBase + L"log_error?stepId=2&installerErrorId=20022&winApiErrorId=12007&id1=0&id2=1");
    EXPECT_EQ(plain(logErrorAddress(kBase, 3, 20004, 0, 0, 0)),
              kBase + L"log_error?stepId=3&installerErrorId=20004&winApiErrorId=0&id1=0&id2=0");
    // 32-bit values are unsigned.
    EXPECT_EQ(plain(logErrorAddress(kBase, 5, 20040, 0x80070070u, 65012, 4294967295u)),
              kBase + L"log_error?stepId=5&installerErrorId=20040&winApiErrorId=2147942512&id1=65012&id2=4294967295");
}

TEST(TelemetryAddresses, StopReportCarriesSigned64BitTime)
{
    EXPECT_EQ(plain(logStopAddress(kBase, 1, 0)), kBase + L"log_stop?stepId=1&timeElapsed=0");
    EXPECT_EQ(plain(logStopAddress(kBase, 4, 5000000000ll)), kBase + L"log_stop?stepId=4&timeElapsed=5000000000");
    EXPECT_EQ(plain(logStopAddress(kBase, 4, -3)), kBase + L"log_stop?stepId=4&timeElapsed=-3");
    EXPECT_EQ(plain(logStopAddress(kBase, 4, INT64_MIN)),
              kBase + L"log_stop?stepId=4&timeElapsed=-9223372036854775808");
    EXPECT_EQ(plain(logStopAddress(kBase, 4, INT64_MAX)), kBase + L"log_stop?stepId=4&timeElapsed=9223372036854775807");
}

TEST(TelemetryAddresses, RequestFailureReportKeepsOperationTextAsIs)
{
    EXPECT_EQ(plain(logWinHttpErrorAddress(kBase, 1, 12175, 8, "WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS")),
              kBase + L"log_winhttp_error?placeId=1&winApiErrorId=12175&sslErrors=8"
                      L"&operation=WinHttpSetOption|WINHTTP_OPTION_SECURITY_FLAGS");
    EXPECT_EQ(plain(logWinHttpErrorAddress(kBase, 2, 65003, 0, "")),
              kBase + L"log_winhttp_error?placeId=2&winApiErrorId=65003&sslErrors=0&operation=");
    // Widened byte by byte, not decoded.
    EXPECT_EQ(plain(logWinHttpErrorAddress(kBase, 2, 1, 0, "\xE9")),
              kBase + L"log_winhttp_error?placeId=2&winApiErrorId=1&sslErrors=0&operation=\u00E9");
}

TEST(TelemetryAddresses, SuccessReports)
{
    EXPECT_EQ(plain(logSuccessAddress(kBase, L"1000", L"1")), kBase + L"log_success?id1=1000&id2=1");
    EXPECT_EQ(plain(formatSuccessAddress(L"http://h/installed?campaign=%ls&channel=%ls", L"1000", L"1")),
              L"http://h/installed?campaign=1000&channel=1");
    const std::wstring longCampaign(3000, L'c');
    EXPECT_EQ(plain(formatSuccessAddress(L"%ls/%ls", longCampaign, L"1")), longCampaign + L"/1");
}

TEST(UserAgent, ProductTokenWithSevenNumbers)
{
    EXPECT_EQ(formatUserAgent(L"KestruneInstaller/1.0.5 (x64)", OsNumbers{10, 0, 0, 0, 19045, 256, 1}),
              L"KestruneInstaller/1.0.5 (x64) (10.0.0.0.19045.256.1)");
    EXPECT_EQ(formatUserAgent(L"KestruneInstaller/1.0.5 (x86)", std::nullopt), L"KestruneInstaller/1.0.5 (x86)");
}

TEST(UserAgent, ThisSystemsNumbers)
{
    OSVERSIONINFOEXW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    ASSERT_TRUE(::GetVersionExW(reinterpret_cast<OSVERSIONINFOW *>(&version)));
#pragma GCC diagnostic pop
    const std::wstring expected =
        std::wstring(sizeof(void *) == 8 ? L"KestruneInstaller/1.0.5 (x64)" : L"KestruneInstaller/1.0.5 (x86)") +
        L" (" + std::to_wstring(version.dwMajorVersion) + L"." + std::to_wstring(version.dwMinorVersion) + L"." +
        std::to_wstring(version.wServicePackMajor) + L"." + std::to_wstring(version.wServicePackMinor) + L"." +
        std::to_wstring(version.dwBuildNumber) + L"." + std::to_wstring(version.wSuiteMask) + L"." +
        std::to_wstring(version.wProductType) + L")";
    EXPECT_EQ(makeUserAgent(), expected);
}

// This test program carries no resources, so the identifiers 110 and 111 are
// missing: the installer's success step ends before any request.
TEST(SuccessReport, MissingIdentifiersSendNothing)
{
    telemetry::OperationsLogger &logger = telemetry::OperationsLogger::instance();
    // A request, had one been made, would have left its answer or its error
    // behind.
    installer::defaultInstallSteps().logSuccess();
    EXPECT_EQ(logger.statusCode(), -1);
    EXPECT_EQ(logger.errorCode(), 0u);
    EXPECT_EQ(logger.failedOperation(), "");
}
