// The user stops the installation with STOP and YES at each point where the
// program looks at the request, through the real window: the run ends with
// one stop report, the cancelled finish page and nothing left behind; once
// the files are unpacked a stop no longer holds the installation back.
#include "tests/e2e/harness.h"
#include "tests/support/paths.h"

#include <string>
#include <vector>

namespace {

using namespace e2e;

const std::wstring kE2eFixtures = KESTRUNE_E2E_FIXTURES_LINUX_PATH;

// The elapsed milliseconds a stop report carries.
long long elapsedOf(const std::string &report)
{
    const size_t at = report.find("timeElapsed=");
    return at == std::string::npos ? -1 : std::stoll(report.substr(at + 12));
}

template <typename Condition> bool waitUntil(Condition condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(20);
    }
    return true;
}

bool hasPackageFile(const std::wstring &destination)
{
    for (const std::wstring &name : folderEntries(destination)) {
        if (name.size() == 13 && name.substr(9) == L".zip") {
            return true;
        }
    }
    return false;
}

class Cancel : public Installation {
protected:
    // STOP, then YES in the question box.
    void stop()
    {
        clickAt(window_, kStop);
        ASSERT_TRUE(answerStopQuestionYes(*installer_, 10000)) << "no stop question";
    }

    // One stop report for the step, the cancelled finish page, no traces.
    std::string expectCancelled(int step)
    {
        const std::vector<std::string> events = awaitEvents(1);
        ::Sleep(1000);
        EXPECT_EQ(newEvents().size(), 1u) << "more than the stop report";
        if (events.empty()) {
            ADD_FAILURE() << "no stop report";
            return {};
        }
        EXPECT_TRUE(startsWith(events[0], "HEAD /telemetry/log_stop?stepId=" + std::to_string(step) + "&timeElapsed="))
            << events[0];
        EXPECT_TRUE(pageOnScreenWithin(window_, Page::Finish, 8000)) << "no finish page";
        saveScreenshot(window_, "cancelled-step-" + std::to_string(step));
        EXPECT_FALSE(directoryExists(destination_)) << "the destination was left behind";
        EXPECT_TRUE(readMachineString(kUninstallKey, L"DisplayName").empty());
        // FINISH after a stop starts nothing.
        const auto code = closeAndWait(window_);
        EXPECT_TRUE(code) << "the program did not end";
        ::Sleep(2000);
        EXPECT_FALSE(processRunning(L"KestruneLauncher.exe"));
        return events[0];
    }

    HWND window_ = nullptr;
};

TEST_F(Cancel, WhileTheManifestIsRequestedReportsStep2OnceTheAnswerIsIn)
{
    control(L"manifest_fault=delay:6");
    window_ = start();
    ASSERT_NE(window_, nullptr);
    const ULONGLONG clicked = ::GetTickCount64();
    clickAt(window_, kExpressInstall);
    ::Sleep(1000);
    stop();
    const std::string report = expectCancelled(2);
    // The request is not interrupted: its whole duration is reported.
    EXPECT_GE(elapsedOf(report), 5000) << report;
    EXPECT_LT(elapsedOf(report), static_cast<long long>(::GetTickCount64() - clicked)) << report;
}

TEST_F(Cancel, DuringTheDownloadReportsStep4AndRemovesThePartialPackage)
{
    // The 1.5 MB sample at 100 kB/s: about 15 seconds of download.
    control(L"package_rate=100000");
    window_ = start();
    ASSERT_NE(window_, nullptr);
    clickAt(window_, kExpressInstall);
    ASSERT_TRUE(waitUntil([&] { return hasPackageFile(destination_); }, 30000)) << "the download did not start";
    ::Sleep(1000);
    stop();
    const std::string report = expectCancelled(4);
    EXPECT_GT(elapsedOf(report), 1000) << report;
}

TEST_F(Cancel, DuringTheExtractionReportsStep5AndRemovesWhatWasUnpacked)
{
    // 20,000 small files take seconds to unpack.
    control(L"package_x64=" + kE2eFixtures + L"/many-files.zip");
    window_ = start();
    ASSERT_NE(window_, nullptr);
    clickAt(window_, kExpressInstall);
    ASSERT_TRUE(waitUntil([&] { return directoryExists(destination_ + L"\\Update"); }, 60000))
        << "the extraction did not start; reports so far: " << testing::PrintToString(newEvents())
        << "; package file: " << hasPackageFile(destination_);
    stop();
    expectCancelled(5);
}

TEST_F(Cancel, DuringRegistrationTheInstallationStillCompletes)
{
    control(L"package_x64=" + kE2eFixtures + L"/updater-delay.zip");
    window_ = start();
    ASSERT_NE(window_, nullptr);
    clickAt(window_, kExpressInstall);
    ASSERT_TRUE(waitUntil([] { return processRunning(L"KestruneUpdater.exe"); }, 60000)) << "no updater";
    stop();
    const std::vector<std::string> events = awaitEvents(2);
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "HEAD /telemetry/installed?campaign=1000&channel=1");
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
    EXPECT_TRUE(pageOnScreenWithin(window_, Page::Finish, 8000));
    EXPECT_FALSE(readMachineString(kUninstallKey, L"DisplayName").empty());
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Kestrune\\KestruneLauncher.exe"));
    // The question box the worker's end closed does not linger.
    EXPECT_EQ(
        installer_->waitForWindow(
            [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"MessageBox"; },
            0),
        nullptr);
    const auto code = closeAndWait(window_);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0u);
}

// A /SILENT run waits on no page, but STOP still asks, and YES ends the run
// by itself with the cancel as its exit code.
TEST_F(Cancel, StopInASilentRunEndsItWith20100)
{
    control(L"package_rate=100000");
    installer_ = testsupport::ChildProcess::start(L"\"" + testsupport::kInstallerPath + L"\" /SILENT");
    ASSERT_TRUE(installer_);
    window_ = installer_->waitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"Main Window"; },
        60000);
    ASSERT_NE(window_, nullptr);
    ASSERT_TRUE(waitUntil([&] { return hasPackageFile(destination_); }, 30000)) << "the download did not start";
    // On the screen once the title's first letter is.
    constexpr POINT kDownloadingTitle = {283, 100};
    ASSERT_TRUE(waitUntil([&] { return pinkNear(window_, kDownloadingTitle, 3); }, 10000)) << "not on the screen";
    stop();
    const std::optional<DWORD> code = installer_->wait(30000);
    ASSERT_TRUE(code) << "the run did not end after the stop";
    EXPECT_EQ(*code, 20100u);
    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 1u) << testing::PrintToString(events);
    EXPECT_TRUE(startsWith(events[0], "HEAD /telemetry/log_stop?stepId=4&timeElapsed=")) << events[0];
    EXPECT_FALSE(directoryExists(destination_)) << "the destination was left behind";
}

} // namespace
