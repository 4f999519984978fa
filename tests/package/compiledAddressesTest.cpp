// The steps as the program runs them, with the addresses deciphered from the
// protected store, against the reference server on the compiled-in port.

#include "tests/support/serverRequests.h"

#include "package/download.h"
#include "package/manifest.h"
#include "telemetry/OperationsLogger.h"
#include "tests/support/process.h"
#include "win32lib/http/HttpClient.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

using testsupport::ReferenceServer;

namespace {

const std::wstring kServer = L"http://127.0.0.1:18080";

void control(const std::wstring &settings)
{
    win32lib::http::HttpClient client(L"KestruneTestControl/1.0");
    std::vector<uint8_t> answer;
    ASSERT_TRUE(client.getToBuffer(kServer + L"/control?" + settings, answer));
    ASSERT_EQ(client.statusCode(), 200);
}

bool writeFile(const std::wstring &path, const std::vector<uint8_t> &bytes)
{
    win32lib::UniqueFile file(::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    return file && ::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
           written == bytes.size();
}

class CompiledAddresses : public ::testing::Test {
protected:
    void SetUp() override { logStart = ReferenceServer::requestLog().size(); }
    void TearDown() override { control(L"manifest_status=200&package_status=200"); }

    std::vector<std::string> reports() const { return testsupport::requestsUnder("/telemetry/", logStart); }

    std::size_t logStart = 0;
    testsupport::TempFolder folder;
    package::UpdateInfo info;
};

} // namespace

TEST_F(CompiledAddresses, ManifestThenPackageFromTheConfiguredServer)
{
    const std::wstring root = ReferenceServer::documentRoot();
    ::CreateDirectoryW((root + L"\\kestrune").c_str(), nullptr);
    ::CreateDirectoryW((root + L"\\kestrune\\packages").c_str(), nullptr);
    const std::vector<uint8_t> package = testsupport::patternBytes(70000);
    ASSERT_TRUE(writeFile(root + L"\\kestrune\\packages\\x64.zip", package));
    ASSERT_TRUE(writeFile(root + L"\\kestrune\\packages\\x32.zip", package));

    ASSERT_EQ(package::fetchUpdateInfo(info), 0);
    EXPECT_STREQ(info.lastVersion, L"5.2.0.1700");
    EXPECT_EQ(std::wstring(info.downloadUrl), kServer + L"/kestrune/packages/x64.zip");
    EXPECT_EQ(info.minSize, 150ull << 20);

    const std::wstring packagePath = folder.file(package::makeRandomName(10) + L".zip");
    ASSERT_EQ(package::downloadPackage(info, packagePath, [](int64_t, uint64_t) { return false; }), 0);
    EXPECT_EQ(testsupport::readFile(packagePath).value_or(""), std::string(package.begin(), package.end()));
    EXPECT_TRUE(reports().empty());
}

TEST_F(CompiledAddresses, ServerRefusalsChosenWhileItRuns)
{
    control(L"manifest_status=503");
    EXPECT_EQ(package::fetchUpdateInfo(info), 20024);
    control(L"manifest_status=465");
    EXPECT_EQ(package::fetchUpdateInfo(info), 20023);
    control(L"manifest_status=200&package_status=465");
    const std::wstring url = kServer + L"/kestrune/packages/x64.zip";
    url.copy(info.downloadUrl, url.size());
    EXPECT_EQ(package::downloadPackage(info, folder.file(L"p.zip"), [](int64_t, uint64_t) { return false; }), 20023);
    EXPECT_TRUE(reports().empty());
}

TEST_F(CompiledAddresses, ReportsGoToTheConfiguredTelemetryAddress)
{
    telemetry::OperationsLogger &logger = telemetry::OperationsLogger::instance();
    EXPECT_TRUE(logger.logStop(1, 0));
    EXPECT_TRUE(logger.logError(3, 20004, 0, 0, 0));
    EXPECT_TRUE(logger.logSuccess(L"1000", L"1"));

    const std::wstring refused = L"http://localhost:" + std::to_wstring(testsupport::closedLoopbackPort()) + L"/p.zip";
    refused.copy(info.downloadUrl, refused.size());
    EXPECT_EQ(package::downloadPackage(info, folder.file(L"p.zip"), [](int64_t, uint64_t) { return false; }), 20011);

    EXPECT_EQ(reports(), (std::vector<std::string>{
                             "HEAD /telemetry/log_stop?stepId=1&timeElapsed=0",
                             "HEAD /telemetry/log_error?stepId=3&installerErrorId=20004&winApiErrorId=0&id1=0&id2=0",
                             "HEAD /telemetry/installed?campaign=1000&channel=1",
                             "HEAD /telemetry/log_success?id1=1000&id2=1",
                             "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=12029&sslErrors=0"
                             "&operation=WinHttpSendRequest",
                         }));
}
