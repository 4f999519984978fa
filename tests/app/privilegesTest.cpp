#include "app/privileges.h"
#include "win32lib/wordSize.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winternl.h>

namespace {

TEST(Privileges, ElevatedTestIsAboveMediumIntegrity)
{
    EXPECT_FALSE(app::isElevatedLevel(0x1000));
    EXPECT_FALSE(app::isElevatedLevel(0x2000));
    EXPECT_FALSE(app::isElevatedLevel(0x2FFF));
    EXPECT_TRUE(app::isElevatedLevel(0x3000));
    EXPECT_TRUE(app::isElevatedLevel(0x4000));
}

TEST(Privileges, TokenQueriesSucceedAndAgreeWithTheToken)
{
    uint32_t type = 0;
    ASSERT_EQ(app::getElevationType(type), 0u);
    EXPECT_GE(type, 1u);
    EXPECT_LE(type, 3u);

    uint32_t level = 0;
    ASSERT_EQ(app::getIntegrityLevel(level), 0u);
    EXPECT_GE(level, 0x1000u);
    EXPECT_LE(level, 0x4000u);
}

TEST(Privileges, IntegrityQueryLeavesOutputUntouchedOnlyOnFailure)
{
    uint32_t level = 0xDEADBEEF;
    ASSERT_EQ(app::getIntegrityLevel(level), 0u);
    EXPECT_NE(level, 0xDEADBEEFu);
}

TEST(Privileges, WorkstationVersionMatchesTheKernelsVersion)
{
    using RtlGetVersionFn = LONG(WINAPI *)(OSVERSIONINFOW *);
    auto rtlGetVersion = reinterpret_cast<RtlGetVersionFn>(
        reinterpret_cast<void *>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
    ASSERT_NE(rtlGetVersion, nullptr);
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    ASSERT_EQ(rtlGetVersion(&version), 0);

    uint32_t major = 0;
    uint32_t minor = 0;
    ASSERT_TRUE(app::getWorkstationVersion(major, minor));
    EXPECT_EQ(major, version.dwMajorVersion);
    EXPECT_EQ(minor, version.dwMinorVersion);
}

TEST(Privileges, WordSizeFollowsTheProcessAndWow64)
{
#if defined(_WIN64)
    EXPECT_TRUE(win32lib::isWindows64Bit());
#else
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
    EXPECT_EQ(win32lib::isWindows64Bit(), wow64 != FALSE);
#endif
}

} // namespace
