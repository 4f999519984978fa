// Installations without a user: the real program started with switches, as
// package managers and deployment tools start it. What counts is the exit
// code, what the screen showed (nothing at all for /VERYSILENT), what the
// server received and what the log says.
#include "tests/e2e/harness.h"
#include "tests/support/paths.h"
#include "win32lib/UniqueResource.h"

#include <string>
#include <vector>

namespace {

using namespace e2e;

std::string lastLine(const std::string &text)
{
    const size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) {
        return {};
    }
    const size_t begin = text.rfind('\n', end);
    return text.substr(begin == std::string::npos ? 0 : begin + 1,
                       end - (begin == std::string::npos ? 0 : begin + 1) + 1);
}

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

// Nothing was started after the installation: the player's launcher leaves
// a marker when it runs, and the web page would reach the watch.
void expectNothingStarted(const std::wstring &destination, const BrowserWatch &browser)
{
    ::Sleep(2000);
    EXPECT_EQ(browser.opened(), "") << "a web page was opened";
    EXPECT_FALSE(processRunning(L"KestruneLauncher.exe"));
    EXPECT_FALSE(testsupport::fileExists(destination + L"\\Kestrune\\launcher-ran.txt"));
}

TEST_F(Installation, VerySilentInstallsLikeExpressWithoutAnyWindowAndLogsTheRun)
{
    destination_ = knownFolder(FOLDERID_ProgramFiles) + L"\\Kestrune Elsewhere";
    removeProduct(destination_);
    testsupport::TempFolder logFolder;
    const std::wstring logPath = logFolder.file(L"install log.txt");

    const BrowserWatch browser;
    const UnattendedOutcome outcome =
        runUnattended(L"/verysilent /DIR=\"" + destination_ + L"\" /Log=\"" + logPath + L"\"");
    ASSERT_TRUE(outcome.exitCode) << "the run did not end";
    EXPECT_EQ(*outcome.exitCode, 0u);
    EXPECT_TRUE(outcome.shownWindows.empty()) << narrow(outcome.shownWindows.front());

    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0], "HEAD /telemetry/installed?campaign=1000&channel=1");
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");

    const std::wstring &root = destination_;
    EXPECT_TRUE(testsupport::fileExists(root + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_TRUE(testsupport::fileExists(root + L"\\Update\\KestruneUpdater.exe"));
    EXPECT_EQ(readMachineString(kUninstallKey, L"DisplayVersion"), KESTRUNE_E2E_VERSION);
    EXPECT_EQ(readMachineString(kUninstallKey, L"InstallLocation"), root);
    EXPECT_TRUE(testsupport::fileExists(programsShortcut()));
    EXPECT_TRUE(testsupport::fileExists(desktopShortcut()));
    expectNothingStarted(root, browser);

    const auto log = testsupport::readFile(logPath);
    ASSERT_TRUE(log) << "no log";
    for (const std::string &expected :
         std::vector<std::string>{"Kestrune installer 1.0.5 started", "-bit installer on Windows ",
                                  "integrity level 0x", "Installing into " + narrow(root) + ", desktop shortcut yes",
                                  "Step 1 (destination check) started", "Step 4 (package download) ended after ",
                                  "Step 6 (registration) started", "Telemetry log_success?id1=1000&id2=1 sent"}) {
        EXPECT_NE(log->find(expected), std::string::npos) << expected << " missing from:\n" << *log;
    }
    EXPECT_EQ(log->find("127.0.0.1"), std::string::npos) << "a server address in the log";
    EXPECT_NE(lastLine(*log).find(" Result: installed, exit code 0"), std::string::npos) << lastLine(*log);
}

// As a package manager starts it: without elevation, so the whole run is
// the elevated copy's, and the log holds both instances' lines in order.
TEST_F(Installation, UnelevatedVerySilentRunHandsOverToTheElevatedCopyWithOneLog)
{
    testsupport::TempFolder logFolder;
    const std::wstring logPath = logFolder.file(L"handed over.log");
    const std::wstring firstInstance = L"\"" + testsupport::kBinDir +
                                       L"\\..\\tests\\bin\\unelevated_instance.exe\" \"" + testsupport::kInstallerPath +
                                       L"\"";
    const UnattendedOutcome outcome =
        runUnattended(L"/VERYSILENT /SUPPRESSMSGBOXES /NORESTART /SP- /LOG=\"" + logPath + L"\"", firstInstance);
    ASSERT_TRUE(outcome.exitCode) << "the run did not end";
    EXPECT_EQ(*outcome.exitCode, 0u);
    EXPECT_EQ(readMachineString(kUninstallKey, L"DisplayVersion"), KESTRUNE_E2E_VERSION);
    const std::string log = testsupport::readFile(logPath).value_or("");
    size_t at = 0;
    for (const std::string &expected : std::vector<std::string>{
             "Unelevated instance started", "Not elevated: starting an elevated copy\r\n",
             "Kestrune installer 1.0.5 started with \"/VERYSILENT /LOG=", "(elevated)", "Step 6 (registration) started",
             " Result: installed, exit code 0\r\n", "The elevated copy ended with exit code 0\r\n",
             "Unelevated instance ends with exit code 0\r\n"}) {
        const size_t found = log.find(expected, at);
        ASSERT_NE(found, std::string::npos) << expected << " missing or out of order in:\n" << log;
        at = found + expected.size();
    }
}

TEST_F(Installation, SilentShowsTheInstallingWindowAndEndsWithoutAClick)
{
    const BrowserWatch browser;
    const UnattendedOutcome outcome = runUnattended(L"/SILENT /NODESKTOPSHORTCUT");
    ASSERT_TRUE(outcome.exitCode) << "the run did not end by itself";
    EXPECT_EQ(*outcome.exitCode, 0u);
    EXPECT_EQ(outcome.shownWindows, std::vector<std::wstring>{L"Main Window"});
    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1], "HEAD /telemetry/log_success?id1=1000&id2=1");
    EXPECT_EQ(readMachineString(kUninstallKey, L"InstallLocation"), destination_);
    EXPECT_TRUE(testsupport::fileExists(programsShortcut()));
    EXPECT_FALSE(testsupport::fileExists(desktopShortcut()));
    expectNothingStarted(destination_, browser);
}

TEST_F(Installation, BusyServerUnderVerySilentEndsWith20024AndReportsAsTheWindowDoes)
{
    control(L"manifest_status=503");
    testsupport::TempFolder logFolder;
    const std::wstring logPath = logFolder.file(L"install.log");
    const UnattendedOutcome outcome = runUnattended(L"/VERYSILENT /LOG=" + logPath);
    ASSERT_TRUE(outcome.exitCode);
    EXPECT_EQ(*outcome.exitCode, 20024u);
    EXPECT_TRUE(outcome.shownWindows.empty());
    const std::vector<std::string> events = newEvents();
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0], "HEAD /telemetry/log_error?stepId=2&installerErrorId=20024&winApiErrorId=0&id1=0&id2=1");
    EXPECT_FALSE(directoryExists(destination_)) << "the created destination was left behind";
    EXPECT_TRUE(readMachineString(kUninstallKey, L"DisplayName").empty());
    EXPECT_FALSE(testsupport::fileExists(programsShortcut()));
    const std::string log = testsupport::readFile(logPath).value_or("");
    EXPECT_NE(log.find("Step 2 (update manifest) ended after "), std::string::npos) << log;
    EXPECT_NE(log.find("Telemetry log_error?stepId=2&installerErrorId=20024&winApiErrorId=0&id1=0&id2=1 sent"),
              std::string::npos)
        << log;
    EXPECT_NE(lastLine(log).find(" Result: installation failed, exit code 20024"), std::string::npos) << log;
}

TEST_F(Installation, FailedRequestIsLoggedWithItsErrorButWithoutTheServerAddress)
{
    control(L"manifest_fault=reset");
    testsupport::TempFolder logFolder;
    const std::wstring logPath = logFolder.file(L"install.log");
    const UnattendedOutcome outcome = runUnattended(L"/VERYSILENT /LOG=" + logPath);
    ASSERT_TRUE(outcome.exitCode);
    EXPECT_EQ(*outcome.exitCode, 20011u);
    const std::string log = testsupport::readFile(logPath).value_or("");
    EXPECT_NE(log.find(" Request failed: WinHttp"), std::string::npos) << log;
    EXPECT_NE(log.find(" Telemetry log_winhttp_error?placeId="), std::string::npos) << log;
    EXPECT_EQ(log.find("127.0.0.1"), std::string::npos) << log;
    EXPECT_EQ(log.find("://"), std::string::npos) << "an address in the log:\n" << log;
    EXPECT_NE(lastLine(log).find(" exit code 20011"), std::string::npos) << log;
}

TEST_F(Installation, ExistingInstallationUnderVerySilentEndsWith20103AndShowsNothing)
{
    win32lib::UniqueHKey key;
    ASSERT_EQ(
        ::RegCreateKeyExW(HKEY_LOCAL_MACHINE, kUninstallKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(), nullptr),
        ERROR_SUCCESS);
    key.reset();
    const UnattendedOutcome outcome = runUnattended(L"/VERYSILENT");
    ASSERT_TRUE(outcome.exitCode);
    EXPECT_EQ(*outcome.exitCode, 20103u);
    EXPECT_TRUE(outcome.shownWindows.empty());
    EXPECT_EQ(telemetry().size(), eventsBefore_);
}

TEST_F(Installation, ArgumentsNotUnderstoodEndWith87AndABoxUnlessVerySilent)
{
    struct Case {
        std::wstring arguments;
        DWORD exitCode;
        std::vector<std::wstring> shown;
    };
    const std::vector<std::wstring> box = {L"#32770"};
    const Case cases[] = {
        {L"/BOGUS", 87, box},
        {L"/VERYSILENT /BOGUS", 87, {}},
        {L"/SILENT /DIR", 87, {}},
        {L"/DIR=relative", 87, box},
        {L"/VERYSILENT /DIR=\\\\server\\share\\Kestrune", 87, {}},
        {L"/VERYSILENT /DIR=\"C:\\Kestrune\\..\\Windows\"", 87, {}},
        {L"/VERYSILENT /LOG=\"C:\\no such folder\\install.log\"", 87, {}},
        {L"/help", 0, box},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(narrow(c.arguments));
        const UnattendedOutcome outcome = runUnattended(c.arguments);
        EXPECT_EQ(newEvents(), std::vector<std::string>{});
        ASSERT_TRUE(outcome.exitCode);
        EXPECT_EQ(*outcome.exitCode, c.exitCode);
        EXPECT_EQ(outcome.shownWindows, c.shown);
    }
    EXPECT_EQ(newEvents(), std::vector<std::string>{});
    EXPECT_FALSE(directoryExists(destination_));
}

} // namespace
