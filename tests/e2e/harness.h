#pragma once

// What the whole-program scenarios share: the reference server on the
// compiled-in address, the installed product's traces, real pointer input
// and what the screen shows.
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <shlobj.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

inline constexpr wchar_t kServer[] = L"http://127.0.0.1:18080";
inline constexpr wchar_t kUninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Kestrune";
inline constexpr DWORD kTimeoutMs = 120000;

// Points of the main window (96 DPI) the scenarios click or look at.
inline constexpr POINT kExpressInstall = {389, 310};
inline constexpr POINT kManualInstall = {362, 361};
inline constexpr POINT kStartWhenFinishedBox = {96, 219};
inline constexpr POINT kDesktopShortcutBox = {96, 238};
inline constexpr POINT kBrowse = {638, 171};
inline constexpr POINT kStartInstall = {458, 404};
inline constexpr POINT kStop = {385, 404};
inline constexpr POINT kRetry = {300, 405};
inline constexpr POINT kFinish = {385, 404};

// The server's answer to a GET of `pathAndQuery`, or nothing unless 200.
std::string get(const std::wstring &pathAndQuery);
// Changes the installation server's settings ("name=value&...").
void control(const std::wstring &settings);
// `text` made safe as one query value.
std::wstring queryValue(const std::wstring &text);
// The telemetry requests the server received, in order, as "METHOD URI".
std::vector<std::string> telemetry();
// Whether nginx serves (support/server-test --nginx) instead of the
// reference server: its telemetry log is then the record, and the scenario
// shapes the answers through the served folder's files.
bool servedByNginx();
// The tab-separated fields of each line of one of nginx's logs
// ("access.log", "telemetry.log"; deploy/nginx/nginx.conf.in has their formats).
std::vector<std::vector<std::string>> nginxLog(const wchar_t *name);
bool waitForTelemetry(size_t count, DWORD timeoutMs);

std::wstring knownFolder(REFKNOWNFOLDERID id);
// Where Express Install puts the product.
std::wstring expressDestination();
std::wstring programsShortcut();
std::wstring desktopShortcut();
// Everything an installation leaves: files, registry, shortcuts.
void removeProduct(const std::wstring &destination);
std::wstring readMachineString(const wchar_t *key, const wchar_t *name);
bool directoryExists(const std::wstring &path);
// Entries of a folder, "." and ".." left out.
std::vector<std::wstring> folderEntries(const std::wstring &folder);
// Whether a process with this executable name runs.
bool processRunning(const wchar_t *exeName);
void killProcesses(const wchar_t *exeName);

// A real click: the pointer moves there and the button goes down and up.
void clickAt(HWND window, POINT point);
// The colour the screen shows at a point of the window.
COLORREF screenColour(HWND window, POINT point);
bool isPink(COLORREF colour);
bool startsWith(const std::string &text, const std::string &prefix);
// Whether any pixel within `radius` of the point is pink (thin strokes).
bool pinkNear(HWND window, POINT point, int radius);

enum class Page { Finish, Error };
// Whether the screen shows the page within the time given: FINISH alone in
// the middle, or RETRY beside EXIT.
bool pageOnScreenWithin(HWND window, Page page, DWORD timeoutMs);
// The start page with its Express Install button is on the screen.
bool startPageOnScreen(HWND window);
// Saves what the screen shows of the window as a BMP under the build's
// e2e-screenshots folder, for a person to look at.
void saveScreenshot(HWND window, const std::string &name);

// The stop question's YES button, clicked once the box is on the screen.
bool answerStopQuestionYes(const testsupport::ChildProcess &process, DWORD timeoutMs);

// While it lives, web addresses opened through the shell are not shown but
// written into a file: the prefix's "http" handler is replaced and restored.
class BrowserWatch {
public:
    BrowserWatch();
    ~BrowserWatch();
    BrowserWatch(const BrowserWatch &) = delete;
    BrowserWatch &operator=(const BrowserWatch &) = delete;
    // The addresses opened so far.
    [[nodiscard]] std::string opened() const;

private:
    testsupport::TempFolder folder_;
    std::wstring previous_;
};

// How a run that needs no click went: its exit code, and the class of every
// window it showed, in order (boxes are closed as soon as they are seen).
struct UnattendedOutcome {
    std::optional<DWORD> exitCode;
    std::vector<std::wstring> shownWindows;
};

class Installation : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the installer (or another build of it) and waits for its main window.
    HWND start(const std::vector<std::wstring> &environment = {}, const std::wstring &program = {});
    // Starts the installer (or `program`, its command line's start) with
    // `arguments` and watches it until it ends.
    UnattendedOutcome runUnattended(const std::wstring &arguments, const std::wstring &program = {});
    [[nodiscard]] std::vector<std::string> newEvents() const;
    // Waits for `count` new telemetry events and returns all new ones.
    std::vector<std::string> awaitEvents(size_t count, DWORD timeoutMs = kTimeoutMs);
    // Waits for an error report (the request-failure reports come first),
    // then a second for anything that must not follow; all new events.
    std::vector<std::string> untilErrorReport();
    // The window closes with the close button's message; the exit code.
    std::optional<DWORD> closeAndWait(HWND window);

    std::optional<testsupport::ChildProcess> installer_;
    size_t eventsBefore_ = 0;
    // The reference server's requests before the main window was there.
    size_t requestsBefore_ = 0;
    std::wstring destination_ = expressDestination();
};

// The settings every scenario starts from: the sample package, the sample
// version, a modest minSize, the package's own hash, and nothing misbehaving.
std::wstring defaultSettings();

} // namespace e2e
