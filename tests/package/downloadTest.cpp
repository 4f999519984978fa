// The package download against the reference server.

#include "tests/support/serverRequests.h"

#include "package/download.h"
#include "package/manifestParsing.h"
#include "tests/support/process.h"
#include "tests/support/silentListener.h"
#include "win32lib/encryption/Sha256.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <random>
#include <regex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using package::downloadPackageReportingTo;
using package::UpdateInfo;
using testsupport::ReferenceServer;
using testsupport::SilentListener;

namespace {

std::vector<uint8_t> fileBytes(const std::wstring &path)
{
    std::vector<uint8_t> bytes;
    win32lib::UniqueFile file(
        ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) {
        return bytes;
    }
    uint8_t block[65536];
    DWORD read = 0;
    while (::ReadFile(file.get(), block, sizeof(block), &read, nullptr) && read > 0) {
        bytes.insert(bytes.end(), block, block + read);
    }
    return bytes;
}

bool fileExists(const std::wstring &path)
{
    return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Bytes without a period, so that a piece stored at the wrong offset shows.
std::vector<uint8_t> unrepeatedBytes(std::size_t size)
{
    std::mt19937 generator(20261209);
    std::vector<uint8_t> bytes(size);
    for (uint8_t &byte : bytes) {
        byte = static_cast<uint8_t>(generator());
    }
    return bytes;
}

void writeServerFile(const std::wstring &folder, const std::wstring &name, const std::vector<uint8_t> &bytes)
{
    ::CreateDirectoryW((ReferenceServer::documentRoot() + L"\\" + folder).c_str(), nullptr);
    win32lib::UniqueFile file(::CreateFileW((ReferenceServer::documentRoot() + L"\\" + folder + L"\\" + name).c_str(),
                                            GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    DWORD written = 0;
    ASSERT_TRUE(file);
    ASSERT_TRUE(::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
}

class PackageDownload : public ::testing::Test {
protected:
    void SetUp() override { logStart = ReferenceServer::requestLog().size(); }

    uint16_t download(const std::wstring &url, bool cancel = false)
    {
        std::copy_n(url.c_str(), std::min<std::size_t>(url.size() + 1, std::size(info.downloadUrl)), info.downloadUrl);
        return downloadPackageReportingTo(
            info, packagePath,
            [this, cancel](int64_t total, uint64_t done) {
                progress.emplace_back(total, done);
                return cancel;
            },
            telemetryAddress);
    }

    std::vector<std::string> requestsUnder(const std::string &prefix) const
    {
        return testsupport::requestsUnder(prefix, logStart);
    }

    std::vector<std::string> reports() const { return requestsUnder("/telemetry/"); }

    std::size_t logStart = 0;
    testsupport::TempFolder folder;
    std::wstring packagePath = folder.file(L"KP3x9ZqLm.zip");
    std::wstring telemetryAddress = ReferenceServer::http(L"/telemetry/");
    UpdateInfo info;
    std::vector<std::pair<int64_t, uint64_t>> progress;
};

} // namespace

TEST_F(PackageDownload, CleanTransferWritesThePackageWithProgress)
{
    const std::vector<uint8_t> package = testsupport::patternBytes(300000);
    {
        ::CreateDirectoryW((ReferenceServer::documentRoot() + L"\\kestrune").c_str(), nullptr);
        ::CreateDirectoryW((ReferenceServer::documentRoot() + L"\\kestrune\\packages").c_str(), nullptr);
        win32lib::UniqueFile file(
            ::CreateFileW((ReferenceServer::documentRoot() + L"\\kestrune\\packages\\x64.zip").c_str(), GENERIC_WRITE,
                          0, nullptr, CREATE_ALWAYS, 0, nullptr));
        ASSERT_TRUE(file);
        DWORD written = 0;
        ASSERT_TRUE(::WriteFile(file.get(), package.data(), static_cast<DWORD>(package.size()), &written, nullptr));
    }
    info.errorCode = 99;
    ASSERT_EQ(download(ReferenceServer::http(L"/kestrune/packages/x64.zip")), 0);
    EXPECT_EQ(fileBytes(packagePath), package);
    EXPECT_EQ(info.errorCode, 0u);
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(int64_t{300000}, uint64_t{300000}));
    for (const auto &call : progress) {
        EXPECT_EQ(call.first, 300000);
    }
    EXPECT_TRUE(reports().empty());
}

TEST_F(PackageDownload, AnnouncedHashIsCheckedOverTheWholeBody)
{
    struct Case {
        const wchar_t *path;
        const char *sha256;
        uint16_t result;
    };
    // Digests of the server's bodies: "abc", and 300000 pattern bytes, which
    // arrive in many pieces. The wrong ones differ in their last digit.
    const Case cases[] = {
        {L"/scenario/body?text=abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad", 0},
        {L"/scenario/body?size=300000", "B2AA5E3AF4C585AB3845F438C284BA8B277CA8C13130A06435E7DEAA3C5680D4", 0},
        {L"/scenario/body?text=abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ae", 20012},
        {L"/scenario/body?size=300000", "b2aa5e3af4c585ab3845f438c284ba8b277ca8c13130a06435e7deaa3c5680d5", 20012},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.sha256);
        // The package file is created new: the previous case's must go.
        ::DeleteFileW(packagePath.c_str());
        logStart = ReferenceServer::requestLog().size();
        const std::string text = c.sha256;
        ASSERT_TRUE(package::parseSha256Text(std::wstring(text.begin(), text.end()), info.packageSha256));
        info.hasPackageSha256 = true;
        EXPECT_EQ(download(ReferenceServer::http(c.path)), c.result);
        if (c.result == 0) {
            EXPECT_EQ(info.errorCode, 0u);
            EXPECT_TRUE(fileExists(packagePath));
        } else {
            // ERROR_INVALID_DATA, the package gone, no second attempt and no
            // request-failure report: the transfer itself went well.
            EXPECT_EQ(info.errorCode, 13u);
            EXPECT_FALSE(fileExists(packagePath));
            EXPECT_EQ(requestsUnder("/scenario/").size(), 1u);
        }
        EXPECT_TRUE(reports().empty());
    }
}

TEST_F(PackageDownload, RefusalsByStatusKeepTheWrittenBody)
{
    EXPECT_EQ(download(ReferenceServer::http(L"/scenario/status/404?size=100")), 20020);
    EXPECT_EQ(fileBytes(packagePath), testsupport::patternBytes(100));
    // The package file is always a new one.
    ::DeleteFileW(packagePath.c_str());
    EXPECT_EQ(download(ReferenceServer::http(L"/kestrune/packages/x64.zip?code=465")), 20023);
    ::DeleteFileW(packagePath.c_str());
    EXPECT_EQ(download(ReferenceServer::http(L"/kestrune/packages/x64.zip?code=503")), 20024);
    EXPECT_TRUE(reports().empty());
}

TEST_F(PackageDownload, ShortBodyIsALengthMismatchWithoutRetry)
{
    EXPECT_EQ(download(ReferenceServer::http(L"/scenario/short")), 20012);
    EXPECT_EQ(info.errorCode, 65003u);
    EXPECT_FALSE(fileExists(packagePath));
    EXPECT_EQ(requestsUnder("/scenario/").size(), 1u);
    EXPECT_EQ(reports(), std::vector<std::string>{
                             "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=65003&sslErrors=0&operation="});
}

TEST_F(PackageDownload, PackageCutAtHalfIsResumedWithOneRangedRequest)
{
    struct Case {
        const wchar_t *query;
        const char *range;   // of the second request
        std::size_t maxSent; // body bytes the server sent in all
    };
    constexpr std::size_t kSize = 600000;
    constexpr std::size_t kSlack = 64 * 1024;
    // The second case's server names another ETag each time, as when the
    // file changed after the cut: the rest would not fit, the whole comes anew.
    const Case cases[] = {
        {L"?cut_after=300000", "bytes=300000-", kSize + kSlack},
        {L"?cut_after=300000&etag=changing", "bytes=300000-", kSize + kSize / 2 + kSlack},
    };
    const std::vector<uint8_t> package = unrepeatedBytes(kSize);
    writeServerFile(L"resume", L"package.zip", package);
    win32lib::encryption::Sha256 hash;
    ASSERT_TRUE(hash.update(package.data(), package.size()));
    ASSERT_TRUE(hash.finish(info.packageSha256));
    info.hasPackageSha256 = true;
    const std::string path = "/files/resume/package.zip";
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.query);
        ::DeleteFileW(packagePath.c_str());
        progress.clear();
        logStart = ReferenceServer::requestLog().size();

        ASSERT_EQ(download(ReferenceServer::http(L"/files/resume/package.zip" + std::wstring(c.query))), 0);
        EXPECT_EQ(info.errorCode, 0u);
        EXPECT_EQ(fileBytes(packagePath), package);

        // Wine reads the closed connection as the end of the body.
        const std::vector<std::string> failures = reports();
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_EQ(failures[0].rfind("HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=65003&", 0), 0u)
            << failures[0];

        // The answers' sizes are logged once they are sent, after the client
        // may already have its bytes.
        std::vector<std::string> requests;
        std::size_t sentTotal = 0;
        std::size_t answers = 0;
        for (int wait = 0; wait < 40 && answers < 2; ++wait, ::Sleep(50)) {
            requests.clear();
            sentTotal = 0;
            answers = 0;
            const std::vector<std::string> log = ReferenceServer::requestLog();
            for (std::size_t i = logStart; i < log.size(); ++i) {
                if (testsupport::jsonField(log[i], "path") != path) {
                    continue;
                }
                std::smatch bytes;
                if (std::regex_search(log[i], bytes, std::regex("\"bytes\": (\\d+)"))) {
                    sentTotal += std::stoul(bytes[1].str());
                    ++answers;
                } else {
                    requests.push_back(log[i]);
                }
            }
        }
        ASSERT_EQ(requests.size(), 2u);
        EXPECT_EQ(testsupport::jsonField(requests[0], "Range"), "");
        EXPECT_EQ(testsupport::jsonField(requests[1], "Range"), c.range);
        EXPECT_EQ(testsupport::jsonField(requests[1], "If-Range").rfind("\\\"", 0), 0u) << requests[1];
        EXPECT_EQ(answers, 2u);
        EXPECT_LE(sentTotal, c.maxSent);

        // Progress counts the whole package; a resumed body goes on from
        // where it stopped.
        ASSERT_FALSE(progress.empty());
        EXPECT_EQ(progress.back(), std::make_pair(int64_t{kSize}, uint64_t{kSize}));
        const bool resumed = std::wstring(c.query).find(L"changing") == std::wstring::npos;
        for (std::size_t i = 0; i < progress.size(); ++i) {
            EXPECT_EQ(progress[i].first, int64_t{kSize});
            if (resumed && i > 0) {
                EXPECT_GT(progress[i].second, progress[i - 1].second) << i;
            }
        }
    }
}

TEST_F(PackageDownload, GzipEncodedPackageIsStoredAsSent)
{
    ASSERT_EQ(download(ReferenceServer::http(L"/scenario/gzip?size=5000")), 0);
    const std::vector<uint8_t> stored = fileBytes(packagePath);
    ASSERT_GE(stored.size(), 2u);
    EXPECT_EQ(stored[0], 0x1F);
    EXPECT_EQ(stored[1], 0x8B);
    EXPECT_NE(stored, testsupport::patternBytes(5000));
}

TEST_F(PackageDownload, CancelFromTheCallbackIsNotReported)
{
    EXPECT_EQ(download(ReferenceServer::http(L"/scenario/body?size=200000"), true), 20100);
    EXPECT_EQ(info.errorCode, 65002u);
    EXPECT_FALSE(fileExists(packagePath));
    EXPECT_EQ(requestsUnder("/scenario/").size(), 1u);
    EXPECT_TRUE(reports().empty());
}

TEST_F(PackageDownload, UncreatablePackageFileFailsBeforeAnyRequest)
{
    packagePath = folder.file(L"missing-folder\\package.zip");
    EXPECT_EQ(download(ReferenceServer::http(L"/scenario/body?size=10")), 20006);
    EXPECT_EQ(info.errorCode, 3u); // ERROR_PATH_NOT_FOUND
    EXPECT_TRUE(requestsUnder("/scenario/").empty());
    EXPECT_EQ(reports(),
              std::vector<std::string>{
                  "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=3&sslErrors=0&operation=CreateFile"});
}

TEST_F(PackageDownload, ConnectTimeoutThenCleanSecondAttemptSucceeds)
{
    // Under Wine a stalled or dropped answer surfaces as other codes (12152,
    // 10054, 10060); a connection that is never accepted times out with
    // 12002 as on Windows. The queue is freed once the first attempt's
    // failure has been reported, so the second attempt gets through.
    SilentListener listener;
    ASSERT_TRUE(listener.listening());
    std::thread server(
        [&] { listener.serveOnceAfter([this] { return reports().size() >= 1; }, testsupport::patternBytes(1000)); });
    const uint16_t result = download(listener.url(L"/package.zip"));
    server.join();
    EXPECT_EQ(result, 0);
    EXPECT_EQ(info.errorCode, 0u);
    EXPECT_EQ(fileBytes(packagePath), testsupport::patternBytes(1000));
    EXPECT_EQ(listener.requestsServed(), 1u);
    EXPECT_EQ(reports(), std::vector<std::string>{"HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=12002"
                                                  "&sslErrors=0&operation=WinHttpSendRequest"});
}

TEST_F(PackageDownload, TwoConnectTimeoutsGiveUpWith20011)
{
    SilentListener listener;
    ASSERT_TRUE(listener.listening());
    const ULONGLONG started = ::GetTickCount64();
    EXPECT_EQ(download(listener.url(L"/package.zip")), 20011);
    // Two attempts, each ended by the 10 s connect time-out.
    const ULONGLONG elapsed = ::GetTickCount64() - started;
    EXPECT_GE(elapsed, 19000u);
    EXPECT_LT(elapsed, 30000u);
    EXPECT_EQ(info.errorCode, 12002u);
    EXPECT_FALSE(fileExists(packagePath));
    const std::string report = "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=12002&sslErrors=0"
                               "&operation=WinHttpSendRequest";
    EXPECT_EQ(reports(), (std::vector<std::string>{report, report}));
}

TEST_F(PackageDownload, DroppedConnectionOnFirstAttempt)
{
    // Windows reports a dropped connection as 12030 and retries; Wine reports
    // what its sockets say, so the expectation follows the code seen.
    const std::wstring url = ReferenceServer::http(L"/scenario/body?size=1000&fail_first=1&fail_mode=reset");
    const uint16_t result = download(url);
    const std::vector<std::string> failures = reports();
    ASSERT_EQ(failures.size(), 1u);
    if (failures[0].find("winApiErrorId=12030&") != std::string::npos) {
        EXPECT_EQ(result, 0);
        EXPECT_EQ(requestsUnder("/scenario/").size(), 2u);
    } else {
        EXPECT_EQ(result, 20011) << failures[0];
        EXPECT_EQ(requestsUnder("/scenario/").size(), 1u);
    }
}

TEST_F(PackageDownload, FullDiskIsAWriteFailure)
{
    const std::wstring drive = ReferenceServer::smallDrive();
    ASSERT_FALSE(drive.empty());
    packagePath = drive + L"\\package.zip";
    EXPECT_EQ(download(ReferenceServer::http(L"/scenario/body?size=4000000")), 20005);
    EXPECT_EQ(info.errorCode, 112u);
    EXPECT_FALSE(fileExists(packagePath));
    EXPECT_EQ(reports(),
              std::vector<std::string>{
                  "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=112&sslErrors=0&operation=WriteFile"});
}
