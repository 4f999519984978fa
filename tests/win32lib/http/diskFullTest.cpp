// A download onto a full volume: support/server-test maps a 2 MiB tmpfs as a
// drive of the prefix for this program only.

#include "httpTestSupport.h"

#include "tests/support/process.h"
#include "tests/support/referenceServer.h"
#include "win32lib/http/HttpClient.h"

#include <gtest/gtest.h>

#include <windows.h>

using testsupport::ReferenceServer;
using win32lib::http::HttpClient;

TEST(DiskFull, WriteFailureIsReportedAsWriteFileAndTheFileIsRemoved)
{
    const auto drive = ReferenceServer::smallDrive();
    ASSERT_FALSE(drive.empty());
    ULARGE_INTEGER freeBytes{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW((drive + L"\\").c_str(), &freeBytes, nullptr, nullptr));
    ASSERT_LT(freeBytes.QuadPart, 4u * 1024 * 1024);

    HttpClient client(testsupport::kTestUserAgent);
    ASSERT_TRUE(client.setTimeouts(testsupport::kShortTimeouts));
    const auto path = drive + L"\\package.zip";
    EXPECT_FALSE(client.getToFile(ReferenceServer::http(L"/scenario/body?size=4194304"), path));
    EXPECT_EQ(client.failedOperation(), "WriteFile");
    EXPECT_EQ(client.errorCode(), static_cast<uint32_t>(ERROR_DISK_FULL));
    EXPECT_FALSE(testsupport::fileExists(path));

    // The space is free again: a body that fits arrives whole.
    EXPECT_TRUE(client.getToFile(ReferenceServer::http(L"/scenario/body?size=1000000"), path));
    EXPECT_EQ(testsupport::readFile(path).value_or("").size(), 1000000u);
    ::DeleteFileW(path.c_str());
}

TEST(DiskFull, BodyThatFillsTheVolumeExactlyIsNoFailure)
{
    const auto drive = ReferenceServer::smallDrive();
    ULARGE_INTEGER freeBytes{};
    ASSERT_TRUE(::GetDiskFreeSpaceExW((drive + L"\\").c_str(), &freeBytes, nullptr, nullptr));
    HttpClient client(testsupport::kTestUserAgent);
    const auto path = drive + L"\\exact.bin";
    const auto size = std::to_wstring(freeBytes.QuadPart);
    EXPECT_TRUE(client.getToFile(ReferenceServer::http(L"/scenario/body?size=" + size), path))
        << client.failedOperation() << " " << client.errorCode();
    ::DeleteFileW(path.c_str());
}
