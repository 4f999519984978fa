#include "app/exitCodes.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

using testsupport::ChildProcess;

constexpr DWORD kProcessTimeoutMs = 60000;
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrune";

std::wstring quoted(const std::wstring &path)
{
    return L"\"" + path + L"\"";
}

HWND waitForVisibleWindow(const ChildProcess &child)
{
    return child.waitForWindow([](HWND window) { return ::IsWindowVisible(window) != FALSE; }, kProcessTimeoutMs);
}

TEST(Start, ExistingUninstallEntryInThe32BitViewStopsWithNotice300)
{
    // Where a 32-bit build of the player registered itself; the 64-bit
    // installer finds it only through the 32-bit view.
    win32lib::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_ALL_ACCESS | KEY_WOW64_32KEY,
                                nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    key.reset();
    win32lib::ScopeExit removeKey([] { ::RegDeleteKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, KEY_WOW64_32KEY, 0); });

    auto child = ChildProcess::start(quoted(testsupport::kInstallerPath));
    ASSERT_TRUE(child);
    HWND box = waitForVisibleWindow(*child);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(testsupport::windowText(box), L"Information");
    // The application's own box; its text is drawn, and checked in-process
    // by the message box tests.
    EXPECT_EQ(testsupport::windowClass(box), L"MessageBox");
    ::PostMessageW(box, WM_CLOSE, 0, 0);
    EXPECT_EQ(child->wait(kProcessTimeoutMs), std::optional<DWORD>(app::kExitAlreadyInstalled));
}

#if defined(_WIN64)
TEST(Start, NormalStartShowsTheMainWindowCentredAndEndsWithZero)
{
    auto child = ChildProcess::start(quoted(testsupport::kInstallerPath));
    ASSERT_TRUE(child);
    HWND window = waitForVisibleWindow(*child);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(testsupport::windowClass(window), L"Main Window");
    EXPECT_EQ(testsupport::windowText(window), L"Kestrune Installer");
    RECT rect = {};
    ASSERT_TRUE(::GetWindowRect(window, &rect));
    const UINT dpi = ::GetDpiForSystem();
    EXPECT_EQ(rect.right - rect.left, static_cast<LONG>((767 * dpi + 95) / 96));
    EXPECT_EQ(rect.bottom - rect.top, static_cast<LONG>((444 * dpi + 95) / 96));
    RECT workArea = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    EXPECT_NEAR((rect.left + rect.right) / 2, (workArea.left + workArea.right) / 2, 1);
    EXPECT_NEAR((rect.top + rect.bottom) / 2, (workArea.top + workArea.bottom) / 2, 1);

    ::PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(child->wait(kProcessTimeoutMs), std::optional<DWORD>(0));
}
#else
TEST(Start, ThirtyTwoBitBuildOn64BitWindowsStopsWithNotice302)
{
    BOOL wow64 = FALSE;
    ASSERT_TRUE(::IsWow64Process(::GetCurrentProcess(), &wow64));
    if (!wow64) {
        GTEST_SKIP() << "32-bit Windows: the word-size check does not apply";
    }
    auto child = ChildProcess::start(quoted(testsupport::kInstallerPath));
    ASSERT_TRUE(child);
    HWND box = waitForVisibleWindow(*child);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(testsupport::windowText(box), L"Error");
    EXPECT_EQ(testsupport::windowClass(box), L"MessageBox");
    ::PostMessageW(box, WM_CLOSE, 0, 0);
    EXPECT_EQ(child->wait(kProcessTimeoutMs), std::optional<DWORD>(app::kExitWrongWordSize));
}
#endif

} // namespace
