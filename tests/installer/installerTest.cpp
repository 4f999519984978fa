#include "app/privileges.h"
#include "installer/Installer.h"
#include "installer/fileSystem.h"
#include "installer/installRun.h"
#include "installer/reporting.h"
#include "installer/worker.h"
#include "ui/WindowEvents.h"
#include "ui/pageData.h"
#include "tests/installer/fakeSteps.h"
#include "tests/installer/pageMessages.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using namespace enginetest;
using installer::Installer;

// A popup owned by the main window, like the stop question.
LRESULT CALLBACK popupProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_CLOSE) {
        ::SetPropW(window, L"closeRequested", reinterpret_cast<HANDLE>(1));
        return 0;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

TEST(ClosePopup, EndOfRunClosesTheOpenQuestionButNeverTheWindow)
{
    const RECT rect = {10, 10, 777, 454};
    PageMessageSink sink(&rect);
    ASSERT_NE(sink.window(), nullptr);
    WNDCLASSW popupClass = {};
    popupClass.lpfnWndProc = popupProc;
    popupClass.hInstance = ::GetModuleHandleW(nullptr);
    popupClass.lpszClassName = L"KestruneTestPopup";
    ::RegisterClassW(&popupClass);

    TempFolder folder;
    Scenario scenario;
    scenario.manifestResult = 20021;
    Installer installer;
    installer.options().destination = folder.file(L"dest");
    const installer::InstallSteps steps = fakeSteps(scenario, installer.options().destination);
    auto runWorker = [&] { runDirectly(steps, installer.options(), sink.window()); };

    // No question open: the window itself must not be asked to close.
    runWorker();
    EXPECT_EQ(sink.closeRequests(), 0);

    HWND popup = ::CreateWindowExW(0, L"KestruneTestPopup", L"question", WS_POPUP | WS_VISIBLE, 100, 100, 200, 100,
                                   sink.window(), nullptr, popupClass.hInstance, nullptr);
    ASSERT_NE(popup, nullptr);
    runWorker();
    EXPECT_EQ(::GetPropW(popup, L"closeRequested"), reinterpret_cast<HANDLE>(1));
    EXPECT_EQ(sink.closeRequests(), 0);
    ::RemovePropW(popup, L"closeRequested");
    ::DestroyWindow(popup);
}

TEST(BeginInstall, ElevatedProcessShowsTheInstallingPageAndStartsTheWorker)
{
    app::storeProcessPrivileges(TokenElevationTypeFull, 0x3000);
    PageMessageSink sink;
    TempFolder folder;
    Scenario scenario;
    scenario.manifestResult = 20024;
    Installer installer;
    const std::wstring destination = folder.file(L"dest");
    installer.options().destination = destination;
    installer.setEvents(std::make_shared<ui::WindowEvents>(sink.window()));
    installer.replaceStepsForTesting(fakeSteps(scenario, destination));
    // Left over from a stop confirmed while an earlier run reported its end.
    installer.options().cancelRequested = 1;

    EXPECT_EQ(installer.beginInstall({}), installer::BeginOutcome::kStarted);
    const ULONGLONG deadline = ::GetTickCount64() + kWorkerTimeoutMs;
    while (sink.shownPages().size() < 2 && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
        testsupport::pumpMessages();
    }
    ASSERT_EQ(sink.shownPages(), (std::vector<WPARAM>{kInstalling, kError}));
    EXPECT_EQ(sink.messages.front().message, kMsgShowView) << "the installing page was not shown first";
    // The detached worker removes the destination after its last message.
    while (testsupport::fileExists(destination) && ::GetTickCount64() < deadline) {
        ::Sleep(20);
    }
    EXPECT_FALSE(testsupport::fileExists(destination));
}

// Pumps the test thread's messages until `done` or the time-out.
bool pumpUntil(const std::function<bool()> &done)
{
    const ULONGLONG deadline = ::GetTickCount64() + kWorkerTimeoutMs;
    while (!done() && ::GetTickCount64() < deadline) {
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        testsupport::pumpMessages();
    }
    return done();
}

TEST(BeginInstall, ThreadThatCannotBeCreatedFailsTheFirstStepWithoutTheInstallingPage)
{
    app::storeProcessPrivileges(TokenElevationTypeFull, 0x3000);
    PageMessageSink sink;
    TempFolder folder;
    Scenario scenario;
    Installer installer;
    installer.options().destination = folder.file(L"dest");
    installer.setEvents(std::make_shared<ui::WindowEvents>(sink.window()));
    installer::InstallSteps steps = fakeSteps(scenario, installer.options().destination);
    // No real way to make CreateThread fail on demand.
    steps.createWorkerThread = [](LPTHREAD_START_ROUTINE, LPVOID) -> HANDLE {
        ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    };
    installer.replaceStepsForTesting(steps);

    EXPECT_EQ(installer.beginInstall({}), installer::BeginOutcome::kStarted);
    testsupport::pumpMessages();
    ASSERT_EQ(scenario.errors.size(), 1u);
    EXPECT_EQ(scenario.errors[0], (std::array<uint32_t, 5>{1, 20001, ERROR_NOT_ENOUGH_MEMORY, 0, 0}));
    EXPECT_EQ(sink.values(kError, 20001), std::vector<int64_t>{ERROR_NOT_ENOUGH_MEMORY});
    EXPECT_EQ(sink.shownPages(), std::vector<WPARAM>{kError});
}

TEST(BeginInstall, RetryWaitsForThePreviousRunToRemoveWhatItLeft)
{
    app::storeProcessPrivileges(TokenElevationTypeFull, 0x3000);
    PageMessageSink sink;
    TempFolder folder;
    Scenario scenario;
    const std::wstring destination = folder.file(L"dest");
    // Enough files that removing them takes the failed run a while.
    scenario.manifestResult = 20022;
    scenario.duringManifest = [&] {
        for (int i = 0; i < 400; ++i) {
            testsupport::writeFile(destination + L"\\left" + std::to_wstring(i) + L".dat", "x");
        }
    };
    Installer installer;
    installer.options().destination = destination;
    installer.setEvents(std::make_shared<ui::WindowEvents>(sink.window()));
    installer.replaceStepsForTesting(fakeSteps(scenario, destination));

    EXPECT_EQ(installer.beginInstall({}), installer::BeginOutcome::kStarted);
    ASSERT_TRUE(pumpUntil([&] { return sink.shownPages().size() == 2; }));
    scenario.manifestResult = 0;
    scenario.duringManifest = nullptr;
    // RETRY at once, while the first worker may still be removing files.
    EXPECT_EQ(installer.beginInstall({}), installer::BeginOutcome::kStarted);
    ASSERT_TRUE(pumpUntil([&] { return sink.shownPages().size() == 4; }));
    EXPECT_EQ(sink.shownPages(), (std::vector<WPARAM>{kInstalling, kError, kInstalling, kFinish}));
    EXPECT_EQ(scenario.errors.size(), 1u);
    EXPECT_EQ(scenario.successes, 1);
    EXPECT_TRUE(testsupport::fileExists(destination + L"\\player.dat"));
    EXPECT_FALSE(testsupport::fileExists(destination + L"\\left0.dat"));
}

TEST(BeginInstall, InstallerWaitsForItsWorkerBeforeItGoes)
{
    app::storeProcessPrivileges(TokenElevationTypeFull, 0x3000);
    PageMessageSink sink;
    TempFolder folder;
    Scenario scenario;
    scenario.manifestResult = 20022;
    scenario.duringManifest = [] { ::Sleep(500); };
    {
        Installer installer;
        installer.options().destination = folder.file(L"dest");
        installer.setEvents(std::make_shared<ui::WindowEvents>(sink.window()));
        installer.replaceStepsForTesting(fakeSteps(scenario, installer.options().destination));
        EXPECT_EQ(installer.beginInstall({}), installer::BeginOutcome::kStarted);
    }
    EXPECT_EQ(scenario.errors.size(), 1u) << "the installer went while its worker ran";
    EXPECT_FALSE(testsupport::fileExists(folder.file(L"dest")));
    testsupport::pumpMessages();
}

// A /SILENT window that quits as soon as the error page is up, as when
// EXIT is clicked at once: the worker has its clean-up still to do.
class QuitOnFailure final : public installer::InstallerEvents {
public:
    void runStarting() override {}
    void statusChanged(installer::InstallStatus) override {}
    void progressChanged(int64_t) override {}
    void succeeded() override {}
    void failed(const installer::InstallFailure &) override
    {
        ::PostThreadMessageW(windowThread_, WM_QUIT, 0, 0);
        // Held until the window's loop has surely ended.
        ::Sleep(300);
    }
    void cancelled() override {}
    void unattendedRunEnded() override {}

private:
    DWORD windowThread_ = ::GetCurrentThreadId();
};

TEST(UnattendedRun, ExitCodeIsTheErrorIdWhenTheWindowQuitsDuringTheCleanUp)
{
    app::storeProcessPrivileges(TokenElevationTypeFull, 0x3000);
    TempFolder folder;
    Scenario scenario;
    const std::wstring destination = folder.file(L"dest");
    scenario.manifestResult = 20022;
    scenario.duringManifest = [&] {
        for (int i = 0; i < 400; ++i) {
            testsupport::writeFile(destination + L"\\left" + std::to_wstring(i) + L".dat", "x");
        }
    };
    Installer installer;
    installer.options().destination = destination;
    installer.setEvents(std::make_shared<QuitOnFailure>());
    installer.replaceStepsForTesting(fakeSteps(scenario, destination));

    ASSERT_TRUE(installer.startUnattendedRun());
    MSG message = {};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::DispatchMessageW(&message);
    }
    EXPECT_EQ(installer.waitForRunEnd(), 20022u);
    EXPECT_FALSE(testsupport::fileExists(destination)) << "read before the clean-up ended";
}

TEST(FinishActions, OpenTheFinishPageAndStartThePlayerOnlyAfterASuccess)
{
    struct Case {
        BYTE succeeded;
        BYTE startWhenFinished;
        int opened;
        int started;
    };
    for (const Case &c : {Case{0, 1, 0, 0}, Case{1, 0, 1, 0}, Case{1, 1, 1, 1}}) {
        Installer installer;
        installer.options().destination = L"C:\\Program Files\\Kestrune Software";
        installer.options().installSucceeded = c.succeeded;
        installer.options().startWhenFinished = c.startWhenFinished;
        installer::InstallSteps steps = installer::defaultInstallSteps();
        int opened = 0;
        int started = 0;
        std::wstring address;
        std::wstring file;
        std::wstring folder;
        steps.openInBrowser = [&](const std::wstring &page) {
            ++opened;
            address = page;
        };
        steps.startUnelevated = [&](const std::wstring &program, const std::wstring &directory) {
            ++started;
            file = program;
            folder = directory;
        };
        installer.replaceStepsForTesting(std::move(steps));
        installer.finish();
        EXPECT_EQ(opened, c.opened);
        EXPECT_EQ(started, c.started);
        if (c.opened) {
            EXPECT_EQ(address.rfind(L"http", 0), 0u);
        }
        if (c.started) {
            EXPECT_EQ(file, L"C:\\Program Files\\Kestrune Software\\Kestrune\\KestruneLauncher.exe");
            EXPECT_EQ(folder, L"C:\\Program Files\\Kestrune Software\\Kestrune");
        }
    }
}

TEST(DefaultDestination, IsTheVendorFolderUnderProgramFiles)
{
    Installer installer;
    installer.setDefaultDestination();
    wchar_t programFiles[MAX_PATH] = {};
    ASSERT_NE(::ExpandEnvironmentStringsW(L"%ProgramFiles%", programFiles, MAX_PATH), 0u);
    EXPECT_EQ(installer.options().destination, std::wstring(programFiles) + L"\\Kestrune Software");
}

} // namespace
