// A Manual Install onto drive T:, a 2 MiB volume, chosen with Browse in the
// system's folder dialog: a package larger than the drive cannot be written
// (20005), the sample package fits but its files do not (20004).
#include "tests/e2e/harness.h"
#include "tests/support/paths.h"

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

using namespace e2e;

const std::wstring kE2eFixtures = KESTRUNE_E2E_FIXTURES_LINUX_PATH;

std::wstring smallDrive()
{
    const char *drive = std::getenv("KESTRUNE_TEST_SMALL_DRIVE");
    return drive == nullptr ? std::wstring() : std::wstring(drive, drive + std::strlen(drive));
}

class SmallDrive : public Installation {
protected:
    void SetUp() override
    {
        if (smallDrive().empty()) {
            GTEST_SKIP() << "no small drive (the tests run as root with tmpfs)";
        }
        destination_ = smallDrive() + L"\\Kestrune Software";
        Installation::SetUp();
        // Only the sizes the drive reports matter here.
        control(L"min_size=1KB");
    }

    // Manual Install, Browse, the drive's root typed into the dialog, Open,
    // START INSTALL.
    bool installOntoTheDrive()
    {
        window_ = start();
        if (window_ == nullptr) {
            return false;
        }
        clickAt(window_, kManualInstall);
        ::Sleep(500);
        clickAt(window_, kBrowse);
        const HWND dialog = installer_->waitForWindow(
            [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"#32770"; },
            30000);
        if (dialog == nullptr) {
            ADD_FAILURE() << "no folder dialog";
            return false;
        }
        const HWND name = ::GetDlgItem(dialog, 1152);
        const HWND open = ::GetDlgItem(dialog, IDOK);
        if (name == nullptr || open == nullptr) {
            ADD_FAILURE() << "the folder dialog has no name field or Open button";
            return false;
        }
        const std::wstring root = smallDrive() + L"\\";
        ::SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(root.c_str()));
        ::SendMessageW(open, BM_CLICK, 0, 0);
        const ULONGLONG deadline = ::GetTickCount64() + 10000;
        while (::IsWindow(dialog) && ::IsWindowVisible(dialog) && ::GetTickCount64() < deadline) {
            ::Sleep(100);
        }
        if (::IsWindow(dialog) && ::IsWindowVisible(dialog)) {
            ADD_FAILURE() << "the folder dialog did not take the drive";
            return false;
        }
        ::Sleep(500);
        saveScreenshot(window_, "small-drive-chosen");
        clickAt(window_, kStartInstall);
        return true;
    }

    void expectNothingLeftOnTheDrive()
    {
        EXPECT_TRUE(pageOnScreenWithin(window_, Page::Error, 8000)) << "no error page";
        EXPECT_FALSE(directoryExists(destination_));
        EXPECT_TRUE(folderEntries(smallDrive()).empty() ||
                    folderEntries(smallDrive()) == std::vector<std::wstring>{L"kestrune-small-drive"});
        ULARGE_INTEGER available = {};
        ULARGE_INTEGER total = {};
        ASSERT_TRUE(::GetDiskFreeSpaceExW((smallDrive() + L"\\").c_str(), &available, &total, nullptr));
        EXPECT_GT(available.QuadPart, total.QuadPart * 9 / 10) << "the drive was not freed";
    }

    HWND window_ = nullptr;
};

TEST_F(SmallDrive, PackageLargerThanTheDriveIs20005FromTheFailedWrite)
{
    control(L"package_x64=" + kE2eFixtures + L"/incompressible.zip");
    ASSERT_TRUE(installOntoTheDrive());
    const std::vector<std::string> events = untilErrorReport();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_TRUE(startsWith(events[0], "HEAD /telemetry/log_winhttp_error?placeId=2&winApiErrorId=112&")) << events[0];
    EXPECT_NE(events[0].find("operation=WriteFile"), std::string::npos) << events[0];
    EXPECT_EQ(events[1], "HEAD /telemetry/log_error?stepId=4&installerErrorId=20005&winApiErrorId=112&id1=0&id2=2");
    saveScreenshot(window_, "small-drive-20005");
    expectNothingLeftOnTheDrive();
}

TEST_F(SmallDrive, FilesLargerThanTheDriveAre20004FromTheExtraction)
{
    ASSERT_TRUE(installOntoTheDrive());
    const std::vector<std::string> events = untilErrorReport();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_TRUE(startsWith(events[0], "HEAD /telemetry/log_error?stepId=5&installerErrorId=20004&winApiErrorId=112&"))
        << events[0];
    saveScreenshot(window_, "small-drive-20004");
    expectNothingLeftOnTheDrive();
}

} // namespace
