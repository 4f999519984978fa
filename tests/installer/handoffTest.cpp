#include "app/Application.h"
#include "app/commandLine.h"
#include "app/privileges.h"
#include "app/singleInstance.h"
#include "installer/Installer.h"
#include "installer/crossProcess.h"
#include "installer/fileSystem.h"
#include "telemetry/InstallLog.h"
#include "ui/WindowEvents.h"
#include "tests/installer/pageMessages.h"
#include "win32lib/http/ProxyRouter.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <atomic>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace {

// The record's UTF-16 fields as the Windows build reads them.
[[maybe_unused]] wchar_t *asWide(char16_t *field)
{
    return reinterpret_cast<wchar_t *>(field);
}

using installer::Installer;
using testsupport::ChildProcess;
using testsupport::PageMessageSink;

constexpr DWORD kProcessTimeoutMs = 60000;
constexpr RECT kWindowRect = {100, 120, 867, 564};

bool mutexIsHeldElsewhere()
{
    win32lib::UniqueHandle probe(::CreateMutexW(nullptr, FALSE, app::kSingleInstanceMutexName));
    return ::GetLastError() == ERROR_ALREADY_EXISTS;
}

#if defined(_WIN64)
// The scenarios with the real elevated copy run in the 64-bit suite only.

// Each text is in the log after the one before it.
void expectInOrder(const std::string &log, const std::vector<std::string> &texts)
{
    size_t at = 0;
    for (const std::string &text : texts) {
        const size_t found = log.find(text, at);
        ASSERT_NE(found, std::string::npos) << "\"" << text << "\" missing or out of order in:\n" << log;
        at = found + text.size();
    }
}

// The log opened as the application opens the one its command line names.
void openLogAsTheApplication(const std::wstring &path)
{
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    ASSERT_EQ(log.open(path, app::unelevatedUserMayAppend), 0u);
    log.write(L"The unelevated instance started");
}
#endif

bool handoffObjectsExist()
{
    win32lib::UniqueHandle event(::OpenEventW(SYNCHRONIZE, FALSE, installer::kHandoffEventName));
    win32lib::UniqueHandle mapping(::OpenFileMappingW(FILE_MAP_READ, FALSE, installer::kHandoffMappingName));
    return event || mapping;
}

// Closes whatever box the installer shows on the test thread and keeps its
// caption and text.
class BoxWatcher {
public:
    explicit BoxWatcher(DWORD threadId) : threadId_(threadId), thread_([this] { watch(); }) {}
    ~BoxWatcher() { stop(); }

    void stop()
    {
        stopping_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }

    std::wstring caption;
    std::wstring text;
    int boxes = 0;

private:
    static BOOL CALLBACK findBox(HWND window, LPARAM parameter) noexcept
    {
        if (::IsWindowVisible(window)) {
            *reinterpret_cast<HWND *>(parameter) = window;
            return FALSE;
        }
        return TRUE;
    }

    void watch()
    {
        HWND lastBox = nullptr;
        while (!stopping_) {
            HWND box = nullptr;
            ::EnumThreadWindows(threadId_, findBox, reinterpret_cast<LPARAM>(&box));
            if (box != nullptr && box != lastBox) {
                ::Sleep(100);
                caption = testsupport::windowText(box);
                text = testsupport::messageBoxText(box);
                ++boxes;
                lastBox = box;
                ::PostMessageW(box, WM_CLOSE, 0, 0);
            }
            ::Sleep(20);
        }
    }

    DWORD threadId_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

class Handoff : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The test process plays an instance started without elevation, with
        // what the application's message box needs to measure its text.
        auto &application = app::Application::instance();
        if (application.dwriteFactory() == nullptr) {
            ASSERT_HRESULT_SUCCEEDED(application.createFactories());
            ASSERT_HRESULT_SUCCEEDED(application.chooseFont());
        }
        app::storeProcessPrivileges(TokenElevationTypeLimited, 0x2000);
        ASSERT_NE(sink_.window(), nullptr);
        installer_.setEvents(std::make_shared<ui::WindowEvents>(sink_.window()));
        installer_.options().destination = folder_.file(L"Kestrune Software");
        steps_ = installer::defaultInstallSteps();
        app::acquireSingleInstance();
        ASSERT_TRUE(mutexIsHeldElsewhere()) << "the test instance does not hold the single-instance mutex";
    }

    void TearDown() override
    {
        telemetry::InstallLog::instance().close();
        app::releaseSingleInstance();
        app::storeProcessPrivileges(TokenElevationTypeFull, 0x3000);
        app::storeCommandLine({});
    }

    void beginInstall()
    {
        installer_.replaceStepsForTesting(steps_);
        RECT rect = {};
        ::GetWindowRect(sink_.window(), &rect);
        outcome_ = installer_.beginInstall(rect);
        testsupport::pumpMessages();
    }

    testsupport::TempFolder folder_;
    PageMessageSink sink_{&kWindowRect};
    Installer installer_;
    installer::InstallSteps steps_;
    installer::BeginOutcome outcome_ = installer::BeginOutcome::kStarted;
};

TEST_F(Handoff, DeclinedElevationAsksForTheNoticeAndRetakesTheMutex)
{
    bool releasedDuringRestart = false;
    bool eventUnsetDuringRestart = false;
    std::wstring handedArguments = L"unset";
    steps_.relaunchElevated = [&](const std::wstring &arguments, win32lib::UniqueHandle &) {
        handedArguments = arguments;
        releasedDuringRestart = !mutexIsHeldElsewhere();
        win32lib::UniqueHandle event(::OpenEventW(SYNCHRONIZE, FALSE, installer::kHandoffEventName));
        eventUnsetDuringRestart = event && ::WaitForSingleObject(event.get(), 0) == WAIT_TIMEOUT;
        return static_cast<uint32_t>(ERROR_CANCELLED);
    };
    beginInstall();

    EXPECT_TRUE(releasedDuringRestart) << "the copy could not have taken the mutex";
    EXPECT_TRUE(eventUnsetDuringRestart);
    EXPECT_EQ(handedArguments, L"") << "a run without switches restarts without arguments";
    EXPECT_EQ(outcome_, installer::BeginOutcome::kElevationDeclined);
    EXPECT_TRUE(mutexIsHeldElsewhere());
    EXPECT_FALSE(handoffObjectsExist());
    EXPECT_TRUE(sink_.messages.empty()) << "the instance left its page";
}

TEST_F(Handoff, OtherRestartFailuresStayQuietAndRetakeTheMutex)
{
    int restarts = 0;
    steps_.relaunchElevated = [&](const std::wstring &, win32lib::UniqueHandle &) {
        ++restarts;
        return static_cast<uint32_t>(ERROR_FILE_NOT_FOUND);
    };
    BoxWatcher watcher(::GetCurrentThreadId());
    beginInstall();
    ::Sleep(300);
    watcher.stop();
    EXPECT_EQ(restarts, 1);
    EXPECT_EQ(watcher.boxes, 0);
    EXPECT_EQ(outcome_, installer::BeginOutcome::kNotStarted);
    EXPECT_TRUE(mutexIsHeldElsewhere());
    EXPECT_FALSE(handoffObjectsExist());
    EXPECT_TRUE(sink_.messages.empty());
}

// Objects under the hand-off names that exist before this instance makes
// them belong to someone else, who could rewrite the record while the
// elevation is asked for: the instance stays on its page as if they could
// not be created.
TEST_F(Handoff, ObjectsThatExistAlreadyStopBeforeTheRestart)
{
    struct Row {
        const char *name;
        std::function<HANDLE()> plant;
    };
    const auto plantMapping = [](const wchar_t *name) {
        return ::CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0, installer::kHandoffMappingSize,
                                    name);
    };
    const Row rows[] = {
        {"event planted", [] { return ::CreateEventW(nullptr, TRUE, FALSE, installer::kHandoffEventName); }},
        {"mapping planted", [&] { return plantMapping(installer::kHandoffMappingName); }},
        {"mutex under the event's name", [] { return ::CreateMutexW(nullptr, FALSE, installer::kHandoffEventName); }},
        {"event under the mapping's name",
         [] { return ::CreateEventW(nullptr, TRUE, FALSE, installer::kHandoffMappingName); }},
    };
    int restarts = 0;
    steps_.relaunchElevated = [&](const std::wstring &, win32lib::UniqueHandle &) {
        ++restarts;
        return 0u;
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        win32lib::UniqueHandle planted(row.plant());
        ASSERT_TRUE(planted);
        beginInstall();
        EXPECT_EQ(restarts, 0);
        EXPECT_TRUE(mutexIsHeldElsewhere());
        EXPECT_TRUE(sink_.messages.empty());
        // A silent run's copy would read them as its route.
        EXPECT_EQ(installer_.runElevatedCopy(L"/VERYSILENT"), 23000u);
        EXPECT_EQ(restarts, 0);
        installer::SharedMemory plantedRecord;
        if (plantedRecord.open(installer::kHandoffMappingName, installer::kHandoffMappingSize, FILE_MAP_READ)) {
            const installer::ElevationHandoff untouched = {};
            EXPECT_EQ(std::memcmp(plantedRecord.data(), &untouched, sizeof(untouched)), 0) << "written into";
        }
        plantedRecord.close();
        planted.reset();
        EXPECT_FALSE(handoffObjectsExist()) << "a hand-off object was left open";
    }
}

TEST_F(Handoff, CopyThatEndsWithoutTakingOverLeavesThisInstanceRunning)
{
    // A copy that stops at once (say, it found an existing installation)
    // never sets the event: the first instance must not wait for ever.
    std::optional<ChildProcess> copy;
    steps_.relaunchElevated = [&](const std::wstring &, win32lib::UniqueHandle &process) -> uint32_t {
        copy = ChildProcess::start(L"cmd.exe /c exit 7");
        if (!copy) {
            return ::GetLastError();
        }
        HANDLE duplicate = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), copy->handle(), ::GetCurrentProcess(), &duplicate, SYNCHRONIZE, FALSE,
                          0);
        process.reset(duplicate);
        return 0u;
    };
    const ULONGLONG started = ::GetTickCount64();
    beginInstall();
    ASSERT_TRUE(copy);
    EXPECT_LT(::GetTickCount64() - started, 30000u);
    EXPECT_TRUE(mutexIsHeldElsewhere()) << "the instance did not take its mutex back";
    EXPECT_FALSE(handoffObjectsExist());
    EXPECT_TRUE(sink_.messages.empty()) << "the instance closed or left its page";
}

TEST_F(Handoff, DeclinedElevationOfASilentRunEndsWith1223WithoutABox)
{
    // The route the copy takes is this user's, whatever account elevates.
    win32lib::http::ProxySettings route;
    route.proxy = L"proxy.example:3128";
    route.bypass = L"<local>";
    win32lib::http::ProxyRouter::instance().useSettings(route);
    std::optional<installer::HandoffMapping> handed;
    std::wstring handedArguments;
    steps_.relaunchElevated = [&](const std::wstring &arguments, win32lib::UniqueHandle &) {
        installer::SharedMemory mapping;
        if (mapping.open(installer::kHandoffMappingName, installer::kHandoffMappingSize, FILE_MAP_READ)) {
            handed.emplace();
            std::memcpy(&*handed, mapping.data(), sizeof(*handed));
        }
        handedArguments = arguments;
        return static_cast<uint32_t>(ERROR_CANCELLED);
    };
    installer_.replaceStepsForTesting(steps_);
    BoxWatcher watcher(::GetCurrentThreadId());
    const unsigned exitCode = installer_.runElevatedCopy(L"/VERYSILENT");
    ::Sleep(300);
    watcher.stop();
    EXPECT_EQ(exitCode, 1223u);
    EXPECT_EQ(handedArguments, L"/VERYSILENT");
    win32lib::http::ProxyRouter::instance().useSettings({});
    ASSERT_TRUE(handed) << "no route for the copy";
    win32lib::http::ProxySettings read;
    EXPECT_TRUE(installer::readProxyHandoff(handed->proxy, read));
    EXPECT_EQ(read, route);
    const installer::ElevationHandoff noChoices = {};
    EXPECT_EQ(std::memcmp(&handed->record, &noChoices, sizeof(noChoices)), 0) << "its choices are on its command line";
    EXPECT_FALSE(handoffObjectsExist());
    EXPECT_EQ(watcher.boxes, 0);
    EXPECT_TRUE(sink_.messages.empty());
}

#if defined(_WIN64)
TEST_F(Handoff, SilentRunGivesItsSwitchesToTheElevatedCopyAndEndsWithItsExitCode)
{
    // The copy is the real program. It finds this instance holding the
    // single-instance mutex, so it ends at once with 23000, silently, after
    // writing the log it was given.
    const std::wstring logPath = folder_.file(L"silent install.log");
    const std::wstring destination = folder_.file(L"Kestrune Software");
    const app::CommandLine commandLine = app::parseCommandLine(L"/VERYSILENT /NODESKTOPSHORTCUT /DIR=\"" + destination +
                                                               L"\" /LOG=\"" + logPath + L"\"");
    ASSERT_TRUE(commandLine.badArgument.empty());
    openLogAsTheApplication(logPath);

    std::optional<ChildProcess> copy;
    std::wstring handedArguments;
    steps_.relaunchElevated = [&](const std::wstring &arguments, win32lib::UniqueHandle &process) -> uint32_t {
        handedArguments = arguments;
        copy = ChildProcess::start(L"\"" + testsupport::kInstallerPath + L"\" " + arguments);
        if (!copy) {
            return ::GetLastError();
        }
        HANDLE duplicate = nullptr;
        ::DuplicateHandle(::GetCurrentProcess(), copy->handle(), ::GetCurrentProcess(), &duplicate,
                          SYNCHRONIZE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, 0);
        process.reset(duplicate);
        return 0u;
    };
    installer_.replaceStepsForTesting(steps_);
    const unsigned exitCode = installer_.runElevatedCopy(app::elevatedCopyArguments(commandLine));
    telemetry::InstallLog::instance().write(L"The unelevated instance ends");
    telemetry::InstallLog::instance().close();

    ASSERT_TRUE(copy) << "the copy did not start";
    EXPECT_EQ(exitCode, 23000u);
    EXPECT_EQ(app::parseCommandLine(handedArguments), commandLine);
    for (HWND window : copy->windows()) {
        EXPECT_FALSE(::IsWindowVisible(window)) << "the silent copy showed a window";
    }
    const auto log = testsupport::readFile(logPath);
    ASSERT_TRUE(log) << "the copy wrote no log";
    // Both halves in one file, in the order they happened.
    expectInOrder(*log, {"The unelevated instance started\r\n", "Not elevated: starting an elevated copy\r\n",
                         "started with \"/VERYSILENT", std::string(destination.begin(), destination.end()),
                         "Result: another instance is running, exit code 23000\r\n",
                         "The elevated copy ended with exit code 23000\r\n", "The unelevated instance ends\r\n"});
    EXPECT_TRUE(sink_.messages.empty());
}
#endif

#if defined(_WIN64)
// The 32-bit build refuses to run on 64-bit Windows before it looks for a
// hand-off, so only the 64-bit build can play the elevated copy here.

std::wstring installerCommand()
{
    return L"\"" + testsupport::kInstallerPath + L"\"";
}

// The instance that waits on the hand-off event is this very program: a
// copy of it, held suspended, stands in as the elevated copy's parent.
std::optional<ChildProcess> startWaitingInstanceStandIn()
{
    return ChildProcess::startWith(installerCommand(), nullptr, CREATE_SUSPENDED);
}

HWND waitForMainWindow(const ChildProcess &child)
{
    return child.waitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"Main Window"; },
        kProcessTimeoutMs);
}

// Closes the copy's window until the copy ends; a copy still installing
// first turns the request into a stop.
std::optional<DWORD> closeAndWait(ChildProcess &child, HWND window)
{
    const ULONGLONG deadline = ::GetTickCount64() + kProcessTimeoutMs;
    while (::GetTickCount64() < deadline) {
        ::PostMessageW(window, WM_CLOSE, 0, 0);
        if (const auto code = child.wait(300)) {
            return code;
        }
    }
    return std::nullopt;
}

TEST_F(Handoff, ElevatedCopyResumesAtTheSameRectangleAndTheFirstInstanceCloses)
{
    const std::wstring destination = folder_.path() + L"\\" + std::wstring(300 - folder_.path().size() - 1, L'k');
    ASSERT_EQ(destination.size(), 300u);
    installer_.options().destination = destination;
    // Occupied, so that the resumed run stops at its first step whatever
    // server listens on the loopback port.
    ASSERT_TRUE(installer::tryCreateDirectoryTree(destination.substr(0, 259)));
    ASSERT_TRUE(testsupport::writeFile(destination.substr(0, 259) + L"\\mine.txt", "keep"));
    installer_.options().startWhenFinished = 0;
    installer_.options().createDesktopShortcut = 1;
    // An interactive run with a log: the copy goes on writing it.
    const std::wstring logPath = folder_.file(L"interactive install.log");
    app::storeCommandLine(app::parseCommandLine(L"/LOG=\"" + logPath + L"\""));
    openLogAsTheApplication(logPath);

    std::optional<ChildProcess> standIn = startWaitingInstanceStandIn();
    ASSERT_TRUE(standIn);
    std::optional<ChildProcess> copy;
    std::optional<installer::ElevationHandoff> written;
    bool mutexFree = false;
    std::wstring handedArguments;
    steps_.relaunchElevated = [&](const std::wstring &arguments, win32lib::UniqueHandle &) -> uint32_t {
        handedArguments = arguments;
        mutexFree = !mutexIsHeldElsewhere();
        installer::SharedMemory mapping;
        if (mapping.open(installer::kHandoffMappingName, installer::kHandoffMappingSize, FILE_MAP_READ)) {
            written.emplace();
            std::memcpy(&*written, mapping.data(), sizeof(installer::ElevationHandoff));
        }
        copy = ChildProcess::startWith(installerCommand() + L" " + arguments, standIn->handle());
        return copy ? 0 : ::GetLastError();
    };
    beginInstall();

    ASSERT_TRUE(copy) << "the copy did not start";
    EXPECT_EQ(handedArguments, L"/LOG=\"" + logPath + L"\"");
    EXPECT_TRUE(mutexFree);
    ASSERT_TRUE(written);
    EXPECT_EQ(std::wstring(asWide(written->destination)), destination.substr(0, 259));
    EXPECT_EQ(written->startWhenFinished, 0);
    EXPECT_EQ(written->createDesktopShortcut, 1);
    EXPECT_EQ(written->left, kWindowRect.left);
    EXPECT_EQ(written->top, kWindowRect.top);
    EXPECT_EQ(written->right, kWindowRect.right);
    EXPECT_EQ(written->bottom, kWindowRect.bottom);

    // The copy has read the record: the first instance closes its window.
    EXPECT_EQ(outcome_, installer::BeginOutcome::kHandedOver);

    HWND copyWindow = waitForMainWindow(*copy);
    ASSERT_NE(copyWindow, nullptr) << "the copy showed no main window";
    // The copy closes the event just after setting it, which is what woke
    // this instance: by the time its window shows, neither holds them.
    EXPECT_FALSE(handoffObjectsExist());
    RECT rect = {};
    ASSERT_TRUE(::GetWindowRect(copyWindow, &rect));
    EXPECT_EQ(rect.left, kWindowRect.left);
    EXPECT_EQ(rect.top, kWindowRect.top);
    EXPECT_EQ(rect.right, kWindowRect.right);
    EXPECT_EQ(rect.bottom, kWindowRect.bottom);
    EXPECT_TRUE(mutexIsHeldElsewhere()) << "the copy does not hold the single-instance mutex";

    EXPECT_EQ(closeAndWait(*copy, copyWindow), std::optional<DWORD>(0));
    const auto log = testsupport::readFile(logPath);
    ASSERT_TRUE(log) << "the copy wrote no log";
    // The first instance's lines, then the copy's, which end the log.
    expectInOrder(
        *log, {"The unelevated instance started\r\n", "Not elevated: handing the installation to an elevated copy\r\n",
               "started with \"/LOG=", "Step 1 (destination check) started", "Result: window closed, exit code 0\r\n"});
    EXPECT_EQ(log->size() - log->rfind("Result: window closed, exit code 0\r\n"),
              std::string("Result: window closed, exit code 0\r\n").size())
        << "a line after the copy's last:\n"
        << *log;
}

TEST_F(Handoff, EventIsSetEvenWhenTheRecordCannotBeRead)
{
    app::releaseSingleInstance();
    installer::NamedEvent event;
    ASSERT_TRUE(event.create(installer::kHandoffEventName));

    auto standIn = startWaitingInstanceStandIn();
    ASSERT_TRUE(standIn);
    auto copy = ChildProcess::startWith(installerCommand(), standIn->handle());
    ASSERT_TRUE(copy);
    EXPECT_EQ(event.wait(kProcessTimeoutMs), static_cast<DWORD>(WAIT_OBJECT_0));

    HWND copyWindow = waitForMainWindow(*copy);
    ASSERT_NE(copyWindow, nullptr);
    RECT rect = {};
    ASSERT_TRUE(::GetWindowRect(copyWindow, &rect));
    EXPECT_FALSE(rect.left == kWindowRect.left && rect.top == kWindowRect.top) << "moved without a record";
    // On its start page the copy closes at once.
    ::PostMessageW(copyWindow, WM_CLOSE, 0, 0);
    EXPECT_EQ(copy->wait(kProcessTimeoutMs), std::optional<DWORD>(0));
}

// Under Wine every process is elevated, so a copy started directly plays an
// elevated instance started with "Run as administrator".
TEST_F(Handoff, PlantedOrInvalidRecordsAreNotResumed)
{
    app::releaseSingleInstance();
    struct Row {
        const char *name;
        bool startedByWaitingInstance;
        std::function<void(installer::ElevationHandoff &)> change;
        bool resumes;
    };
    const Row rows[] = {
        {"planted before a direct start", false, [](installer::ElevationHandoff &) {}, false},
        {"network destination", true,
         [](installer::ElevationHandoff &h) { wcscpy(asWide(h.destination), L"\\\\host\\share\\k"); }, false},
        {"flag other than 0 or 1", true, [](installer::ElevationHandoff &h) { h.startWhenFinished = 2; }, false},
        {"off-screen rectangle", true,
         [](installer::ElevationHandoff &h) {
             h.left = h.top = -30000;
             h.right = h.left + (kWindowRect.right - kWindowRect.left);
             h.bottom = h.top + (kWindowRect.bottom - kWindowRect.top);
         },
         true},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        const std::wstring planted = folder_.file(L"planted");
        installer::InstallOptions options;
        options.destination = planted;
        options.windowRect = kWindowRect;
        installer::ElevationHandoff record = installer::makeElevationHandoff(options);
        row.change(record);
        if (row.resumes) {
            // Occupied, so that the resumed run stops at its first step
            // whatever server listens on the loopback port.
            ASSERT_TRUE(installer::tryCreateDirectoryTree(planted));
            ASSERT_TRUE(testsupport::writeFile(planted + L"\\mine.txt", "keep"));
        }
        installer::NamedEvent event;
        installer::SharedMemory mapping;
        ASSERT_TRUE(event.create(installer::kHandoffEventName));
        ASSERT_TRUE(mapping.create(installer::kHandoffMappingName, installer::kHandoffMappingSize));
        mapping.write(&record, sizeof(record));

        std::optional<ChildProcess> standIn;
        std::optional<ChildProcess> copy;
        if (row.startedByWaitingInstance) {
            standIn = startWaitingInstanceStandIn();
            ASSERT_TRUE(standIn);
            copy = ChildProcess::startWith(installerCommand(), standIn->handle());
        } else {
            copy = ChildProcess::start(installerCommand());
        }
        ASSERT_TRUE(copy);
        HWND copyWindow = waitForMainWindow(*copy);
        ASSERT_NE(copyWindow, nullptr);
        // The record is read before the window exists.
        EXPECT_EQ(event.wait(0), static_cast<DWORD>(row.startedByWaitingInstance ? WAIT_OBJECT_0 : WAIT_TIMEOUT))
            << "the event of another program was touched, or the waiting instance was not woken";

        RECT rect = {};
        ASSERT_TRUE(::GetWindowRect(copyWindow, &rect));
        MONITORINFO monitor = {};
        monitor.cbSize = sizeof(monitor);
        ASSERT_TRUE(::GetMonitorInfoW(::MonitorFromWindow(copyWindow, MONITOR_DEFAULTTOPRIMARY), &monitor));
        EXPECT_GE(rect.left, monitor.rcWork.left);
        EXPECT_GE(rect.top, monitor.rcWork.top);
        EXPECT_LE(rect.right, monitor.rcWork.right);
        EXPECT_LE(rect.bottom, monitor.rcWork.bottom);
        EXPECT_EQ(rect.right - rect.left, kWindowRect.right - kWindowRect.left);
        if (row.resumes) {
            EXPECT_TRUE(rect.left == monitor.rcWork.left && rect.top == monitor.rcWork.top) << "not moved";
        } else {
            EXPECT_FALSE(rect.left == kWindowRect.left && rect.top == kWindowRect.top) << "moved by the record";
            // A resumed run creates the destination at once.
            ::Sleep(1500);
            EXPECT_FALSE(installer::isDirectory(planted)) << "installed into the planted folder";
        }
        EXPECT_EQ(closeAndWait(*copy, copyWindow), std::optional<DWORD>(0));
        testsupport::removeTree(planted);
    }
}
#endif

} // namespace
