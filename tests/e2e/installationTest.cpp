// The real installer against the reference server on the compiled-in
// address, driven with real pointer input, checked by what a user and the
// server see: telemetry in order, files, registry, shortcuts, exit codes.
// winsock2.h must come before windows.h.
#include "tests/support/serverRequests.h"

#include "tests/e2e/harness.h"
#include "tests/support/paths.h"
#include "win32lib/UniqueResource.h"

#include <string>
#include <vector>

namespace {

using namespace e2e;

TEST_F(Installation, ExpressInstallInstallsRegistersReportsAndStartsThePlayer)
{
    HWND window = start();
    ASSERT_NE(window, nullptr) << "the main window did not open";
    clickAt(window, kExpressInstall);
    ASSERT_TRUE(waitForTelemetry(eventsBefore_ + 2, kTimeoutMs)) << "no success report";
    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "HEAD /telemetry/installed?campaign=1000&channel=1");
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
    // Progress redraws once queued up for tens of seconds before the page change.
    EXPECT_TRUE(pageOnScreenWithin(window, Page::Finish, 8000)) << "the finish page is not on the screen";

    const std::wstring &root = destination_;
    EXPECT_TRUE(testsupport::fileExists(root + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_TRUE(testsupport::fileExists(root + L"\\Update\\KestruneUpdater.exe"));
    EXPECT_EQ(readMachineString(kUninstallKey, L"DisplayVersion"), KESTRUNE_E2E_VERSION);
    EXPECT_EQ(readMachineString(kUninstallKey, L"InstallLocation"), root);
    EXPECT_EQ(readMachineString(kUninstallKey, L"UninstallString"),
              L"\"" + root + L"\\Kestrune\\" + KESTRUNE_E2E_VERSION + L"\\Uninstall.exe\"");
    EXPECT_EQ(readMachineString(L"Software\\Kestrune Software\\Kestrune", L"AdCampaignId"), L"1000");
    EXPECT_TRUE(testsupport::fileExists(programsShortcut()));
    EXPECT_TRUE(testsupport::fileExists(desktopShortcut()));
    EXPECT_FALSE(testsupport::fileExists(root + L"\\package.zip"));

    // The package of the program's own word size, asked for in its name.
#ifdef _WIN64
    const std::string package = "/kestrune/packages/x64.zip";
    const std::string agent = "KestruneInstaller/1.0.5 (x64)";
#else
    const std::string package = "/kestrune/packages/x32.zip";
    const std::string agent = "KestruneInstaller/1.0.5 (x86)";
#endif
    bool packageRequested = false;
    for (const std::string &line : testsupport::ReferenceServer::requestLog()) {
        const std::string path = testsupport::jsonField(line, "path");
        if (path == "/kestrune/updates.xml" || path.rfind("/kestrune/packages/", 0) == 0) {
            EXPECT_EQ(testsupport::jsonField(line, "User-Agent"), agent) << path;
            packageRequested = packageRequested || path == package;
        }
    }
    EXPECT_TRUE(packageRequested) << "no request for " << package;
    // The manifest named the package's hash, which the download checked.
    EXPECT_NE(get(L"/kestrune/updates.xml").find(" sha256=\""), std::string::npos);

    // Closing the finish page starts the player from its folder.
    const auto code = closeAndWait(window);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0u);
    const std::wstring marker = root + L"\\Kestrune\\launcher-ran.txt";
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    while (!testsupport::fileExists(marker) && ::GetTickCount64() < deadline) {
        ::Sleep(200);
    }
    ASSERT_TRUE(testsupport::fileExists(marker)) << "the launcher did not start";
    const auto ran = testsupport::readFile(marker);
    ASSERT_TRUE(ran);
    EXPECT_NE(ran->find("Kestrune Software\\Kestrune"), std::string::npos) << *ran;

    // The registered uninstaller takes everything away again once the
    // player is closed (a running program's file cannot be deleted).
    killProcesses(L"KestruneLauncher.exe");
    const std::wstring uninstall = readMachineString(kUninstallKey, L"UninstallString");
    auto uninstaller = testsupport::ChildProcess::start(uninstall);
    ASSERT_TRUE(uninstaller);
    const auto uninstallCode = uninstaller->wait(kTimeoutMs);
    ASSERT_TRUE(uninstallCode);
    EXPECT_EQ(*uninstallCode, 0u);
    const ULONGLONG removalDeadline = ::GetTickCount64() + 30000;
    while (directoryExists(root) && ::GetTickCount64() < removalDeadline) {
        ::Sleep(200);
    }
    EXPECT_FALSE(directoryExists(root)) << "the uninstaller left the product folder";
    EXPECT_TRUE(readMachineString(kUninstallKey, L"DisplayName").empty());
    EXPECT_FALSE(testsupport::fileExists(programsShortcut()));
    EXPECT_FALSE(testsupport::fileExists(desktopShortcut()));
}

TEST_F(Installation, ManualInstallWithBothOptionsClearedMakesNoDesktopShortcutAndStartsNothing)
{
    HWND window = start();
    ASSERT_NE(window, nullptr);
    clickAt(window, kManualInstall);
    ::Sleep(500);
    // Both options start checked: the box's pink tick is on the screen.
    EXPECT_TRUE(pinkNear(window, kStartWhenFinishedBox, 2));
    EXPECT_TRUE(pinkNear(window, kDesktopShortcutBox, 2));
    clickAt(window, kStartWhenFinishedBox);
    clickAt(window, kDesktopShortcutBox);
    // Under load the redraw can come later than the clicks' effect.
    const ULONGLONG redrawn = ::GetTickCount64() + 3000;
    while ((pinkNear(window, kStartWhenFinishedBox, 2) || pinkNear(window, kDesktopShortcutBox, 2)) &&
           ::GetTickCount64() < redrawn) {
        ::Sleep(100);
    }
    EXPECT_FALSE(pinkNear(window, kStartWhenFinishedBox, 2));
    EXPECT_FALSE(pinkNear(window, kDesktopShortcutBox, 2));
    saveScreenshot(window, "manual-options-cleared");
    clickAt(window, kStartInstall);

    const std::vector<std::string> events = awaitEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
    EXPECT_TRUE(pageOnScreenWithin(window, Page::Finish, 8000));
    EXPECT_EQ(readMachineString(kUninstallKey, L"InstallLocation"), destination_);
    EXPECT_TRUE(testsupport::fileExists(programsShortcut()));
    EXPECT_FALSE(testsupport::fileExists(desktopShortcut()));

    const auto code = closeAndWait(window);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0u);
    ::Sleep(3000);
    EXPECT_FALSE(processRunning(L"KestruneLauncher.exe"));
    EXPECT_FALSE(testsupport::fileExists(destination_ + L"\\Kestrune\\launcher-ran.txt"));
}

TEST_F(Installation, BusyServerEndsOnTheErrorPageAndRetryInstallsOnceItRecovers)
{
    control(L"manifest_status=503");
    HWND window = start();
    ASSERT_NE(window, nullptr);
    clickAt(window, kExpressInstall);
    ASSERT_TRUE(waitForTelemetry(eventsBefore_ + 1, kTimeoutMs));
    std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "HEAD /telemetry/log_error?stepId=2&installerErrorId=20024&winApiErrorId=0&id1=0&id2=1");
    ::Sleep(500);
    EXPECT_TRUE(pageOnScreenWithin(window, Page::Error, 8000));
    EXPECT_FALSE(directoryExists(destination_)) << "the created destination was left behind";

    control(L"manifest_status=200");
    clickAt(window, kRetry);
    ASSERT_TRUE(waitForTelemetry(eventsBefore_ + 3, kTimeoutMs)) << "the retry did not complete";
    events = newEvents();
    EXPECT_EQ(events.back(), "HEAD /telemetry/log_success?id1=1000&id2=1");
    EXPECT_FALSE(readMachineString(kUninstallKey, L"DisplayName").empty());
}

TEST_F(Installation, ExistingInstallationShowsItsNoticeAndExitsWith20103)
{
    win32lib::UniqueHKey key;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    key.reset();
    installer_ = testsupport::ChildProcess::start(L"\"" + testsupport::kInstallerPath + L"\"");
    ASSERT_TRUE(installer_);
    HWND box = installer_->waitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"MessageBox"; },
        60000);
    ASSERT_NE(box, nullptr) << "no notice";
    for (HWND window : installer_->windows()) {
        EXPECT_NE(testsupport::windowClass(window), L"Main Window");
    }
    ::PostMessageW(box, WM_CLOSE, 0, 0);
    const auto code = installer_->wait(kTimeoutMs);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 20103u);
    EXPECT_EQ(telemetry().size(), eventsBefore_) << "nothing is reported for an existing installation";
}

} // namespace
