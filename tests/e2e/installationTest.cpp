// The real installer against the reference server on the compiled-in
// address, driven with real pointer input, checked by what a user and the
// server see: telemetry in order, files, registry, shortcuts, exit codes.
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/WinHttpWrapper.h"

#include <gtest/gtest.h>

#include <shellapi.h>
#include <shlobj.h>
#include <windows.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using testsupport::ChildProcess;

constexpr wchar_t kServer[] = L"http://127.0.0.1:18080";
constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrune";
constexpr wchar_t kVendorKey[] = L"Software\\Kestrune Software";
constexpr DWORD kTimeoutMs = 120000;

std::string get(const std::wstring &pathAndQuery)
{
    Win32Lib::wrappers::http::WinHttpWrapper client(L"KestruneEndToEndTest");
    std::vector<uint8_t> body;
    if (!client.getToBuffer(std::wstring(kServer) + pathAndQuery, body) || client.statusCode() != 200) {
        return {};
    }
    return std::string(body.begin(), body.end());
}

void control(const std::wstring &settings)
{
    ASSERT_FALSE(get(L"/control?" + settings).empty()) << "the server refused the settings";
}

std::vector<std::string> telemetry()
{
    std::vector<std::string> lines;
    std::istringstream text(get(L"/telemetry-events"));
    for (std::string line; std::getline(text, line);) {
        if (!line.empty()) {
            lines.push_back(line);
        }
    }
    return lines;
}

bool waitForTelemetry(size_t count, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (::GetTickCount64() < deadline) {
        if (telemetry().size() >= count) {
            return true;
        }
        ::Sleep(200);
    }
    return false;
}

std::wstring knownFolder(REFKNOWNFOLDERID id)
{
    Win32Lib::UniqueCoTaskMem<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put()))) {
        return {};
    }
    return path.get();
}

std::wstring destination()
{
    return knownFolder(FOLDERID_ProgramFiles) + L"\\Kestrune Software";
}

void removeTree(const std::wstring &path)
{
    std::wstring from = path;
    from.push_back(L'\0');
    SHFILEOPSTRUCTW operation = {};
    operation.wFunc = FO_DELETE;
    operation.pFrom = from.c_str();
    operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI | FOF_NOCONFIRMMKDIR;
    ::SHFileOperationW(&operation);
}

void removeProduct()
{
    for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}}) {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
        Win32Lib::UniqueHKey software;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, software.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeW(software.get(), L"Kestrune Software");
        }
    }
    removeTree(destination());
    ::DeleteFileW((knownFolder(FOLDERID_CommonPrograms) + L"\\Kestrune.lnk").c_str());
    ::DeleteFileW((knownFolder(FOLDERID_PublicDesktop) + L"\\Kestrune.lnk").c_str());
}

std::wstring readString(const wchar_t *key, const wchar_t *name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

HWND visibleWindowOfClass(const ChildProcess &process, const wchar_t *className)
{
    return process.waitForWindow(
        [&](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == className; },
        60000);
}

// Whether the screen shows the finish page's pink FINISH button at (385, 404)
// of the window within the time given. The screen's pixels are what the X
// server shows, not the program's own surface.
bool finishButtonOnScreenWithin(HWND window, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        RECT rect = {};
        ::GetWindowRect(window, &rect);
        const HDC screen = ::GetDC(nullptr);
        const COLORREF colour = ::GetPixel(screen, rect.left + 385, rect.top + 404);
        ::ReleaseDC(nullptr, screen);
        if (colour != CLR_INVALID && GetRValue(colour) > 0xB0 && GetGValue(colour) < 0x50 &&
            GetBValue(colour) > 0x30 && GetBValue(colour) < 0x90) {
            return true;
        }
        ::Sleep(100);
    } while (::GetTickCount64() < deadline);
    return false;
}

// A real click: the pointer moves there and the button goes down and up.
void clickAt(HWND window, int x, int y)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    ::SetForegroundWindow(window);
    ::SetCursorPos(rect.left + x, rect.top + y);
    ::Sleep(150);
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, inputs, sizeof(INPUT));
    ::Sleep(150);
}

class Installation : public ::testing::Test {
protected:
    void SetUp() override
    {
        removeProduct();
        control(L"manifest_status=200&package_status=200&min_size=20MB&last_version=" +
                std::wstring(KESTRUNE_E2E_VERSION) + L"&package_x64=" + KESTRUNE_E2E_PACKAGE_LINUX_PATH +
                L"&package_x32=" + KESTRUNE_E2E_PACKAGE_LINUX_PATH);
        eventsBefore_ = telemetry().size();
    }

    void TearDown() override
    {
        installer_.reset();
        ::Sleep(300);
        removeProduct();
    }

    HWND start()
    {
        installer_ = ChildProcess::start(L"\"" + testsupport::kInstallerPath + L"\"");
        if (!installer_) {
            return nullptr;
        }
        return visibleWindowOfClass(*installer_, L"Main Window");
    }

    std::vector<std::string> newEvents() const
    {
        std::vector<std::string> all = telemetry();
        return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(eventsBefore_), all.end());
    }

    std::optional<ChildProcess> installer_;
    size_t eventsBefore_ = 0;
};

// Express Install spans (239, 280) to (539, 341) in the window.
constexpr int kExpressX = 389;
constexpr int kExpressY = 310;

TEST_F(Installation, ExpressInstallInstallsRegistersReportsAndStartsThePlayer)
{
    HWND window = start();
    ASSERT_NE(window, nullptr) << "the main window did not open";
    clickAt(window, kExpressX, kExpressY);
    ASSERT_TRUE(waitForTelemetry(eventsBefore_ + 2, kTimeoutMs)) << "no success report";
    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "HEAD /telemetry/installed?campaign=1000&channel=1");
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
    // Progress redraws once queued up for tens of seconds before the page change.
    EXPECT_TRUE(finishButtonOnScreenWithin(window, 8000)) << "the finish page is not on the screen";

    const std::wstring root = destination();
    EXPECT_TRUE(testsupport::fileExists(root + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_TRUE(testsupport::fileExists(root + L"\\Update\\KestruneUpdater.exe"));
    EXPECT_EQ(readString(kUninstallKey, L"DisplayVersion"), KESTRUNE_E2E_VERSION);
    EXPECT_EQ(readString(kUninstallKey, L"InstallLocation"), root);
    EXPECT_EQ(readString(kUninstallKey, L"UninstallString"),
              L"\"" + root + L"\\Kestrune\\" + KESTRUNE_E2E_VERSION + L"\\Uninstall.exe\"");
    EXPECT_EQ(readString(L"Software\\Kestrune Software\\Kestrune", L"AdCampaignId"), L"1000");
    EXPECT_TRUE(testsupport::fileExists(knownFolder(FOLDERID_CommonPrograms) + L"\\Kestrune.lnk"));
    EXPECT_TRUE(testsupport::fileExists(knownFolder(FOLDERID_PublicDesktop) + L"\\Kestrune.lnk"));
    EXPECT_FALSE(testsupport::fileExists(root + L"\\package.zip"));

    // Closing the finish page starts the player from its folder.
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    const auto code = installer_->wait(kTimeoutMs);
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
    ::system("taskkill /f /im KestruneLauncher.exe >nul 2>&1");
}

TEST_F(Installation, BusyServerEndsOnTheErrorPageAndRetryInstallsOnceItRecovers)
{
    control(L"manifest_status=503");
    HWND window = start();
    ASSERT_NE(window, nullptr);
    clickAt(window, kExpressX, kExpressY);
    ASSERT_TRUE(waitForTelemetry(eventsBefore_ + 1, kTimeoutMs));
    std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "HEAD /telemetry/log_error?stepId=2&installerErrorId=20024&winApiErrorId=0&id1=0&id2=1");
    ::Sleep(500);
    EXPECT_FALSE(testsupport::fileExists(destination())) << "the created destination was left behind";

    // RETRY ends at x 329 on the error page, 390 pixels down.
    control(L"manifest_status=200");
    clickAt(window, 329 - 12, 405);
    ASSERT_TRUE(waitForTelemetry(eventsBefore_ + 3, kTimeoutMs)) << "the retry did not complete";
    events = newEvents();
    EXPECT_EQ(events.back(), "HEAD /telemetry/log_success?id1=1000&id2=1");
    EXPECT_FALSE(readString(kUninstallKey, L"DisplayName").empty());
    ::system("taskkill /f /im KestruneLauncher.exe >nul 2>&1");
}

TEST_F(Installation, ExistingInstallationShowsItsNoticeAndExitsWith20103)
{
    Win32Lib::UniqueHKey key;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                                nullptr),
              ERROR_SUCCESS);
    key.reset();
    installer_ = ChildProcess::start(L"\"" + testsupport::kInstallerPath + L"\"");
    ASSERT_TRUE(installer_);
    HWND box = visibleWindowOfClass(*installer_, L"MessageBox");
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
