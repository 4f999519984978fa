#include "app/privileges.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/wordSize.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <sddl.h>
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

// Wine keeps no integrity label on a file, so the labels are built here.
TEST(Privileges, LogFileLabelledAboveMediumIsRefused)
{
    const struct {
        const wchar_t *sddl;
        bool aboveMedium;
    } cases[] = {
        {L"D:(A;;FA;;;WD)", false}, {L"S:(ML;;NW;;;LW)", false}, {L"S:(ML;;NW;;;ME)", false},
        {L"S:(ML;;NW;;;HI)", true}, {L"S:(ML;;NR;;;SI)", true},  {L"S:(AU;SA;FA;;;WD)(ML;;NW;;;HI)", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.sddl)));
        PSECURITY_DESCRIPTOR descriptor = nullptr;
        ASSERT_TRUE(
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, &descriptor, nullptr));
        const win32lib::UniqueLocalMemory owner(descriptor);
        EXPECT_EQ(app::labelAboveMedium(descriptor), c.aboveMedium);
    }
}

// Read with its label as the /LOG check reads it: Wine gives a file no
// label, which counts as medium.
TEST(Privileges, UnlabelledLogFileOfTheUserMayBeAppendedTo)
{
    wchar_t folder[MAX_PATH] = {};
    wchar_t path[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, folder), 0u);
    ASSERT_NE(::GetTempFileNameW(folder, L"log", 0, path), 0u);
    const win32lib::UniqueFile file(::CreateFileW(path, GENERIC_WRITE | READ_CONTROL, FILE_SHARE_READ, nullptr,
                                                  OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    ASSERT_TRUE(file.valid());
    EXPECT_TRUE(app::unelevatedUserMayAppend(file.get()));
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
