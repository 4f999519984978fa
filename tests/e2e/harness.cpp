// winsock2.h must come before windows.h.
#include "tests/support/serverRequests.h"

#include "tests/e2e/harness.h"

#include "tests/support/paths.h"
#include "tests/support/referenceServer.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/http/HttpClient.h"

#include <tlhelp32.h>

#include <algorithm>
#include <cstdlib>
#include <sstream>

namespace e2e {

using testsupport::ChildProcess;

std::string get(const std::wstring &pathAndQuery)
{
    win32lib::http::HttpClient client(L"KestruneEndToEndTest");
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

std::wstring queryValue(const std::wstring &text)
{
    std::wstring value;
    for (wchar_t c : text) {
        if (c == L'&' || c == L'?' || c == L'=' || c == L'%' || c == L'#' || c == L' ' || c == L'+') {
            wchar_t escaped[4] = {};
            ::swprintf(escaped, 4, L"%%%02X", static_cast<unsigned>(c));
            value += escaped;
        } else {
            value.push_back(c);
        }
    }
    return value;
}

bool servedByNginx()
{
    return !testsupport::environmentValue(L"KESTRUNE_TEST_NGINX_LOGS").empty();
}

std::vector<std::vector<std::string>> nginxLog(const wchar_t *name)
{
    std::vector<std::vector<std::string>> lines;
    const auto text = testsupport::readFile(testsupport::environmentValue(L"KESTRUNE_TEST_NGINX_LOGS") + L"\\" + name);
    std::istringstream stream(text.value_or(std::string()));
    for (std::string line; std::getline(stream, line);) {
        std::vector<std::string> fields;
        std::istringstream fieldStream(line);
        for (std::string field; std::getline(fieldStream, field, '\t');) {
            fields.push_back(field);
        }
        lines.push_back(fields);
    }
    return lines;
}

std::vector<std::string> telemetry()
{
    std::vector<std::string> lines;
    if (servedByNginx()) {
        // Time, method, request URI, user agent.
        for (const auto &fields : nginxLog(L"telemetry.log")) {
            if (fields.size() >= 3) {
                lines.push_back(fields[1] + " " + fields[2]);
            }
        }
        return lines;
    }
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
    win32lib::UniqueCoTaskMem<wchar_t> path;
    if (FAILED(::SHGetKnownFolderPath(id, 0, nullptr, path.put()))) {
        return {};
    }
    return path.get();
}

std::wstring expressDestination()
{
    return knownFolder(FOLDERID_ProgramFiles) + L"\\Kestrune Software";
}

std::wstring programsShortcut()
{
    return knownFolder(FOLDERID_CommonPrograms) + L"\\Kestrune.lnk";
}

std::wstring desktopShortcut()
{
    return knownFolder(FOLDERID_PublicDesktop) + L"\\Kestrune.lnk";
}

void removeProduct(const std::wstring &destination)
{
    for (REGSAM view : {REGSAM{0}, REGSAM{KEY_WOW64_32KEY}}) {
        ::RegDeleteTreeW(HKEY_LOCAL_MACHINE, kUninstallKey);
        win32lib::UniqueHKey software;
        if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"Software", 0, KEY_ALL_ACCESS | view, software.put()) ==
            ERROR_SUCCESS) {
            ::RegDeleteTreeW(software.get(), L"Kestrune Software");
        }
    }
    const DWORD attributes = ::GetFileAttributesW(destination.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::DeleteFileW(destination.c_str());
    } else {
        testsupport::removeTree(destination);
    }
    ::DeleteFileW(programsShortcut().c_str());
    ::DeleteFileW(desktopShortcut().c_str());
}

std::wstring readMachineString(const wchar_t *key, const wchar_t *name)
{
    wchar_t value[1024] = {};
    DWORD size = sizeof(value);
    if (::RegGetValueW(HKEY_LOCAL_MACHINE, key, name, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS) {
        return {};
    }
    return value;
}

bool directoryExists(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

std::vector<std::wstring> folderEntries(const std::wstring &folder)
{
    std::vector<std::wstring> entries;
    WIN32_FIND_DATAW data = {};
    const HANDLE search = ::FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (search == INVALID_HANDLE_VALUE) {
        return entries;
    }
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") {
            entries.push_back(name);
        }
    } while (::FindNextFileW(search, &data));
    ::FindClose(search);
    return entries;
}

namespace {

std::vector<DWORD> processIds(const wchar_t *exeName)
{
    std::vector<DWORD> ids;
    win32lib::UniqueHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot || snapshot.get() == INVALID_HANDLE_VALUE) {
        return ids;
    }
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32FirstW(snapshot.get(), &entry); more; more = ::Process32NextW(snapshot.get(), &entry)) {
        if (::_wcsicmp(entry.szExeFile, exeName) == 0) {
            ids.push_back(entry.th32ProcessID);
        }
    }
    return ids;
}

} // namespace

bool processRunning(const wchar_t *exeName)
{
    return !processIds(exeName).empty();
}

void killProcesses(const wchar_t *exeName)
{
    for (DWORD id : processIds(exeName)) {
        win32lib::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, id));
        if (process) {
            ::TerminateProcess(process.get(), 1);
            ::WaitForSingleObject(process.get(), 5000);
        }
    }
}

void clickAt(HWND window, POINT point)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    // A click on a window that is not yet in front only brings it there
    // (Wine takes its time under load): wait until it is.
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    while (::SetForegroundWindow(window), ::GetForegroundWindow() != window && ::GetTickCount64() < deadline) {
        ::Sleep(50);
    }
    // The press and release carry the position themselves: a pointer moved
    // by SetCursorPos alone reaches the X server and comes back as a motion
    // event, which under load can arrive after the buttons, so that they
    // went to wherever the pointer was before.
    const POINT target = {rect.left + point.x, rect.top + point.y};
    const int width = ::GetSystemMetrics(SM_CXSCREEN);
    const int height = ::GetSystemMetrics(SM_CYSCREEN);
    INPUT inputs[3] = {};
    for (INPUT &input : inputs) {
        input.type = INPUT_MOUSE;
        input.mi.dx = static_cast<LONG>((target.x * 65536 + width - 1) / width);
        input.mi.dy = static_cast<LONG>((target.y * 65536 + height - 1) / height);
        input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    }
    ::SendInput(1, inputs, sizeof(INPUT));
    ::SetCursorPos(target.x, target.y);
    POINT cursor = {};
    const ULONGLONG moved = ::GetTickCount64() + 5000;
    while (::GetCursorPos(&cursor) && (std::abs(cursor.x - target.x) > 1 || std::abs(cursor.y - target.y) > 1) &&
           ::GetTickCount64() < moved) {
        ::Sleep(20);
    }
    ::Sleep(100);
    inputs[1].mi.dwFlags |= MOUSEEVENTF_LEFTDOWN;
    inputs[2].mi.dwFlags |= MOUSEEVENTF_LEFTUP;
    ::SendInput(2, inputs + 1, sizeof(INPUT));
    ::Sleep(150);
}

COLORREF screenColour(HWND window, POINT point)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    const HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, rect.left + point.x, rect.top + point.y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

bool isPink(COLORREF colour)
{
    return colour != CLR_INVALID && GetRValue(colour) > 0xB0 && GetGValue(colour) < 0x50 && GetBValue(colour) > 0x30 &&
           GetBValue(colour) < 0x90;
}

bool startsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

bool pinkNear(HWND window, POINT point, int radius)
{
    for (int dy = -radius; dy <= radius; ++dy) {
        for (int dx = -radius; dx <= radius; ++dx) {
            if (isPink(screenColour(window, {point.x + dx, point.y + dy}))) {
                return true;
            }
        }
    }
    return false;
}

bool pageOnScreenWithin(HWND window, Page page, DWORD timeoutMs)
{
    // RETRY's left half and the middle of the button row tell the two apart.
    constexpr POINT kRetryLeft = {265, 404};
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    do {
        const bool middle = isPink(screenColour(window, kFinish));
        const bool left = isPink(screenColour(window, kRetryLeft));
        if ((page == Page::Finish && middle && !left) || (page == Page::Error && left && !middle)) {
            return true;
        }
        ::Sleep(100);
    } while (::GetTickCount64() < deadline);
    return false;
}

bool startPageOnScreen(HWND window)
{
    // The Express Install button's face below its text.
    constexpr POINT kExpressInstallFace = {389, 330};
    return ::IsWindowVisible(window) && isPink(screenColour(window, kExpressInstallFace));
}

void saveScreenshot(HWND window, const std::string &name)
{
    RECT rect = {};
    ::GetWindowRect(window, &rect);
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) {
        return;
    }
    const HDC screen = ::GetDC(nullptr);
    const HDC memory = ::CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    const HBITMAP bitmap = ::CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    const HGDIOBJ old = ::SelectObject(memory, bitmap);
    ::BitBlt(memory, 0, 0, width, height, screen, rect.left, rect.top, SRCCOPY);
    ::GdiFlush();
    const DWORD imageSize = static_cast<DWORD>(width) * static_cast<DWORD>(height) * 4;
    BITMAPFILEHEADER header = {};
    header.bfType = 0x4D42;
    header.bfOffBits = sizeof(header) + sizeof(info.bmiHeader);
    header.bfSize = header.bfOffBits + imageSize;
    std::string bytes(reinterpret_cast<const char *>(&header), sizeof(header));
    bytes.append(reinterpret_cast<const char *>(&info.bmiHeader), sizeof(info.bmiHeader));
    bytes.append(static_cast<const char *>(bits), imageSize);
    const std::wstring folder = testsupport::kBinDir + L"\\..\\e2e-screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    testsupport::writeFile(folder + L"\\" + std::wstring(name.begin(), name.end()) + L".bmp", bytes);
    ::SelectObject(memory, old);
    ::DeleteObject(bitmap);
    ::DeleteDC(memory);
    ::ReleaseDC(nullptr, screen);
}

bool answerStopQuestionYes(const ChildProcess &process, DWORD timeoutMs)
{
    const HWND box = process.waitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"MessageBox"; },
        timeoutMs);
    if (box == nullptr) {
        return false;
    }
    // YES sits left of NO, which ends 32 pixels from the right edge and
    // 23 from the bottom; NO is about 80 pixels wide, the gap 30.
    RECT rect = {};
    ::GetWindowRect(box, &rect);
    const POINT yes = {(rect.right - rect.left) - 32 - 80 - 30 - 20, (rect.bottom - rect.top) - 23 - 13};
    ::Sleep(300);
    clickAt(box, yes);
    return true;
}

std::wstring defaultSettings()
{
    return L"manifest_status=200&package_status=200&min_size=20MB&last_version=" + std::wstring(KESTRUNE_E2E_VERSION) +
           L"&package_x64=" + KESTRUNE_E2E_PACKAGE_LINUX_PATH + L"&package_x32=" + KESTRUNE_E2E_PACKAGE_LINUX_PATH +
           L"&x64_url=&x32_url=&manifest_file=&package_rate=0&package_sha256=auto&manifest_fault=&probe_fault="
           L"&telemetry_fault=";
}

void Installation::SetUp()
{
    removeProduct(destination_);
    if (!servedByNginx()) {
        control(defaultSettings());
    }
    eventsBefore_ = telemetry().size();
}

void Installation::TearDown()
{
    if (installer_) {
        const HWND box =
            installer_->waitForWindow([](HWND window) { return testsupport::windowClass(window) == L"MessageBox"; }, 0);
        if (::testing::Test::HasFailure()) {
            for (HWND window : installer_->windows()) {
                if (::IsWindowVisible(window) && window != box) {
                    saveScreenshot(window, std::string("failed-") +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
                }
            }
        }
    }
    installer_.reset();
    killProcesses(L"KestruneLauncher.exe");
    killProcesses(L"KestruneUpdater.exe");
    ::Sleep(300);
    removeProduct(destination_);
    if (!servedByNginx()) {
        control(defaultSettings());
    }
}

HWND Installation::start(const std::vector<std::wstring> &environment, const std::wstring &program)
{
    const std::wstring &path = program.empty() ? testsupport::kInstallerPath : program;
    installer_ = ChildProcess::start(L"\"" + path + L"\"", {}, environment);
    if (!installer_) {
        return nullptr;
    }
    const HWND window = installer_->waitForWindow(
        [](HWND window) { return ::IsWindowVisible(window) && testsupport::windowClass(window) == L"Main Window"; },
        60000);
    // Visible is not yet on the screen: under load the X server maps the
    // window a while later, and a click before that goes to the desktop.
    const ULONGLONG deadline = ::GetTickCount64() + 30000;
    while (window != nullptr && !startPageOnScreen(window) && ::GetTickCount64() < deadline) {
        ::Sleep(50);
    }
    requestsBefore_ = testsupport::ReferenceServer::requestLog().size();
    return window;
}

namespace {

constexpr wchar_t kHttpOpenCommand[] = L"Software\\Classes\\http\\shell\\open\\command";

void setHttpOpenCommand(const std::wstring &command)
{
    ::RegSetKeyValueW(HKEY_LOCAL_MACHINE, kHttpOpenCommand, nullptr, REG_SZ, command.c_str(),
                      static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t)));
}

} // namespace

BrowserWatch::BrowserWatch() : previous_(readMachineString(kHttpOpenCommand, nullptr))
{
    setHttpOpenCommand(L"\"C:\\windows\\system32\\cmd.exe\" /c echo %1>> \"" + folder_.file(L"opened.txt") + L"\"");
}

BrowserWatch::~BrowserWatch()
{
    setHttpOpenCommand(previous_);
}

std::string BrowserWatch::opened() const
{
    return testsupport::readFile(folder_.file(L"opened.txt")).value_or(std::string());
}

UnattendedOutcome Installation::runUnattended(const std::wstring &arguments, const std::wstring &program)
{
    UnattendedOutcome outcome;
    const std::wstring start = program.empty() ? L"\"" + testsupport::kInstallerPath + L"\"" : program;
    installer_ = ChildProcess::start(start + L" " + arguments);
    if (!installer_) {
        return outcome;
    }
    std::vector<HWND> seen;
    const ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
    do {
        for (HWND window : installer_->windows()) {
            if (!::IsWindowVisible(window) || std::find(seen.begin(), seen.end(), window) != seen.end()) {
                continue;
            }
            seen.push_back(window);
            const std::wstring windowClass = testsupport::windowClass(window);
            outcome.shownWindows.push_back(windowClass);
            if (windowClass != L"Main Window") {
                ::Sleep(300);
                ::PostMessageW(window, WM_CLOSE, 0, 0);
            }
        }
        outcome.exitCode = installer_->wait(50);
    } while (!outcome.exitCode && ::GetTickCount64() < deadline);
    return outcome;
}

std::vector<std::string> Installation::newEvents() const
{
    std::vector<std::string> all = telemetry();
    if (all.size() < eventsBefore_) {
        return {};
    }
    return std::vector<std::string>(all.begin() + static_cast<std::ptrdiff_t>(eventsBefore_), all.end());
}

std::vector<std::string> Installation::awaitEvents(size_t count, DWORD timeoutMs)
{
    waitForTelemetry(eventsBefore_ + count, timeoutMs);
    return newEvents();
}

std::vector<std::string> Installation::untilErrorReport()
{
    const ULONGLONG deadline = ::GetTickCount64() + kTimeoutMs;
    std::vector<std::string> events;
    const auto reported = [&events] {
        return !events.empty() && startsWith(events.back(), "HEAD /telemetry/log_error?");
    };
    do {
        ::Sleep(200);
        events = newEvents();
    } while (!reported() && ::GetTickCount64() < deadline);
    if (!reported()) {
        // Tells a click that never arrived from a run that stopped halfway.
        std::string requests;
        for (const std::string &request : testsupport::requestsUnder("/", requestsBefore_)) {
            if (!startsWith(request, "GET /control") && !startsWith(request, "GET /telemetry-events")) {
                requests += "\n  " + request;
            }
        }
        const bool startPage = installer_ && std::ranges::any_of(installer_->windows(), startPageOnScreen);
        ADD_FAILURE() << "no error report within " << kTimeoutMs / 1000 << " s; the start page is "
                      << (startPage ? "still" : "no longer")
                      << " on the screen; requests since the start:" << (requests.empty() ? " none" : requests);
    }
    ::Sleep(1000);
    return newEvents();
}

std::optional<DWORD> Installation::closeAndWait(HWND window)
{
    ::PostMessageW(window, WM_CLOSE, 0, 0);
    return installer_->wait(kTimeoutMs);
}

} // namespace e2e
