#include "tests/ui/uiTestSupport.h"

#include "app/Application.h"
#include "app/privileges.h"
#include "tests/framework/frameworkTestSupport.h"
#include "tests/support/paths.h"
#include "tests/support/process.h"
#include "installer/errorModel.h"
#include "ui/MessageBoxWindow.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <utility>

namespace uitest {

namespace {

bool g_quitSeen = false;
std::function<void(HWND)> g_windowAction;
std::wstring g_watchedClass;
UINT_PTR g_watchTimer = 0;

struct ClassSearch {
    const std::wstring *className;
    HWND found;
};

BOOL CALLBACK findWindowOfClass(HWND window, LPARAM parameter) noexcept
{
    auto &search = *reinterpret_cast<ClassSearch *>(parameter);
    wchar_t className[64] = {};
    if (::IsWindowVisible(window) && ::GetClassNameW(window, className, 64) > 0 && *search.className == className) {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

// Thread timer: its messages are dispatched by whichever loop runs, the
// modal loops of boxes and dialogs included.
VOID CALLBACK watchForWindow(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    const HWND window = openWindowOfClass(g_watchedClass);
    if (window == nullptr || !g_windowAction) {
        return;
    }
    ::KillTimer(nullptr, g_watchTimer);
    g_watchTimer = 0;
    auto action = std::move(g_windowAction);
    g_windowAction = nullptr;
    action(window);
}

// The system pointer follows the posted messages: Wine reports its real
// position on capture changes and tracking, which must agree.
LPARAM pointParam(const framework::windows::Direct2dWindow &window, float x, float y)
{
    const POINT pixel = toPixels(window, x, y);
    POINT screen = pixel;
    ::ClientToScreen(window.handle(), &screen);
    ::SetCursorPos(screen.x, screen.y);
    return MAKELPARAM(pixel.x, pixel.y);
}

} // namespace

void prepareApplication()
{
    auto &application = app::Application::instance();
    if (application.wicFactory() == nullptr) {
        ASSERT_HRESULT_SUCCEEDED(application.createFactories());
        ASSERT_HRESULT_SUCCEEDED(application.chooseFont());
    }
    // What Wine gives every process: a full token at high integrity.
    app::storeProcessPrivileges(2, app::kHighIntegrityLevel);
    installer::InstallSteps steps = installer::defaultInstallSteps();
    steps.logError = [](const installer::InstallFailure &) {};
    steps.logStop = [](uint32_t, int64_t) {};
    steps.logSuccess = [] {};
    steps.openInBrowser = [](const std::wstring &) {};
    steps.startUnelevated = [](const std::wstring &, const std::wstring &) {};
    theInstaller().replaceStepsForTesting(std::move(steps));
}

installer::Installer &theInstaller()
{
    return app::Application::instance().installer();
}

void pump(DWORD milliseconds)
{
    pumpUntil([] { return false; }, milliseconds);
}

bool pumpUntil(const std::function<bool()> &done, DWORD timeoutMs)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    for (;;) {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                g_quitSeen = true;
                continue;
            }
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        if (done()) {
            return true;
        }
        if (::GetTickCount64() >= end) {
            return false;
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

bool takeQuit()
{
    return std::exchange(g_quitSeen, false);
}

framework::text::Text *findText(const framework::layouts::Layout &layout, const std::wstring &text)
{
    for (const auto &child : layout.children) {
        if (auto *element = dynamic_cast<framework::text::Text *>(child.get()); element && element->text == text) {
            return element;
        }
        if (auto *nested = dynamic_cast<framework::layouts::Layout *>(child.get())) {
            if (auto *found = findText(*nested, text)) {
                return found;
            }
        }
    }
    return nullptr;
}

POINT toPixels(const framework::windows::Direct2dWindow &window, float x, float y)
{
    return {static_cast<LONG>(std::lround(x * window.getScaleX())),
            static_cast<LONG>(std::lround(y * window.getScaleY()))};
}

void mouseMove(const framework::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_MOUSEMOVE, 0, pointParam(window, x, y));
    pump(20);
}

void mouseDown(const framework::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_LBUTTONDOWN, MK_LBUTTON, pointParam(window, x, y));
    pump(20);
}

void dragTo(const framework::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_MOUSEMOVE, MK_LBUTTON, pointParam(window, x, y));
    pump(30);
}

void mouseUp(const framework::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_LBUTTONUP, 0, pointParam(window, x, y));
}

void clickAt(const framework::windows::Direct2dWindow &window, float x, float y)
{
    mouseMove(window, x, y);
    mouseDown(window, x, y);
    mouseUp(window, x, y);
}

void click(const framework::windows::Direct2dWindow &window, const framework::controls::Item &item)
{
    clickAt(window, item.x + item.width / 2.0f, item.y + item.height / 2.0f);
}

HWND openWindowOfClass(const std::wstring &className)
{
    ClassSearch search{&className, nullptr};
    ::EnumThreadWindows(::GetCurrentThreadId(), findWindowOfClass, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND openMessageBox()
{
    return openWindowOfClass(L"MessageBox");
}

void whenWindowOpens(const std::wstring &className, std::function<void(HWND window)> action)
{
    g_watchedClass = className;
    g_windowAction = std::move(action);
    if (g_watchTimer == 0) {
        g_watchTimer = ::SetTimer(nullptr, 0, 30, watchForWindow);
    }
}

void whenMessageBoxOpens(std::function<void(HWND box)> action)
{
    whenWindowOpens(L"MessageBox", std::move(action));
}

ui::MessageBoxWindow &messageBoxOf(HWND box)
{
    return *reinterpret_cast<ui::MessageBoxWindow *>(::GetWindowLongPtrW(box, GWLP_USERDATA));
}

std::wstring messageBoxText(HWND box)
{
    return testsupport::messageBoxText(box);
}

struct ScriptedInstall::Events {
    win32lib::UniqueHandle gate;
    win32lib::UniqueHandle entered;
    std::atomic<int> runs{0};
};

ScriptedInstall::ScriptedInstall(uint16_t manifestResult, bool gated) : events_(std::make_shared<Events>())
{
    events_->gate.reset(::CreateEventW(nullptr, TRUE, gated ? FALSE : TRUE, nullptr));
    events_->entered.reset(::CreateEventW(nullptr, TRUE, FALSE, nullptr));
    auto &options = theInstaller().options();
    wchar_t temp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, temp);
    options.destination =
        std::wstring(temp) + L"uitest-" + std::to_wstring(::GetTickCount64()) + L"\\Kestrune Software";
    options.cancelRequested = 0;
    options.installSucceeded = 0;
    options.downloadPercent = 0.0f;
    options.extractionPercent = 0.0f;

    installer::InstallSteps steps = installer::defaultInstallSteps();
    steps.fetchUpdateInfo = [events = events_, manifestResult](package::UpdateInfo &info) -> uint16_t {
        ++events->runs;
        ::SetEvent(events->entered.get());
        ::WaitForSingleObject(events->gate.get(), 30000);
        info.minSize = 0;
        wcscpy_s(info.lastVersion, L"1.0.0");
        return manifestResult;
    };
    steps.downloadPackage = [](package::UpdateInfo &, const std::wstring &,
                               const win32lib::http::ProgressCallback &progress) -> uint16_t {
        return progress(100, 100) ? installer::kErrorCancelled : installer::kInstallOk;
    };
    steps.extractArchive = [](package::ExtractResult &result, const std::wstring &, const std::wstring &) {
        return !result.progress(100, 100);
    };
    steps.runUpdater = [](const std::wstring &, const std::wstring &, bool, uint32_t &) -> uint16_t { return 0; };
    steps.logError = [](const installer::InstallFailure &) {};
    steps.logStop = [](uint32_t, int64_t) {};
    steps.logSuccess = [] {};
    steps.openInBrowser = [](const std::wstring &) {};
    steps.startUnelevated = [](const std::wstring &, const std::wstring &) {};
    theInstaller().replaceStepsForTesting(std::move(steps));
}

ScriptedInstall::~ScriptedInstall()
{
    release();
}

void ScriptedInstall::release()
{
    ::SetEvent(events_->gate.get());
}

int ScriptedInstall::runs() const
{
    return events_->runs;
}

bool ScriptedInstall::manifestStepEntered() const
{
    return ::WaitForSingleObject(events_->entered.get(), 0) == WAIT_OBJECT_0;
}

void clickBoxButton(HWND box, const std::wstring &caption)
{
    auto *window = reinterpret_cast<ui::MessageBoxWindow *>(::GetWindowLongPtrW(box, GWLP_USERDATA));
    ASSERT_NE(window, nullptr);
    for (auto *button : elementsOf<ui::MessageBoxButton>(*window->getCurrentView())) {
        if (button->captionLabel().text == caption) {
            // Posted: the box's own loop delivers them.
            const float x = button->x + button->width / 2.0f;
            const float y = button->y + button->height / 2.0f;
            ::PostMessageW(box, WM_MOUSEMOVE, 0, pointParam(*window, x, y));
            ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, pointParam(*window, x, y));
            ::PostMessageW(box, WM_LBUTTONUP, 0, pointParam(*window, x, y));
            return;
        }
    }
    ADD_FAILURE() << "no button " << std::string(caption.begin(), caption.end());
}

std::unique_ptr<ui::MainWindow> openMainWindow(int initialPage)
{
    auto window = std::make_unique<ui::MainWindow>(theInstaller());
    const HRESULT result = window->initialize(initialPage);
    EXPECT_HRESULT_SUCCEEDED(result);
    if (FAILED(result)) {
        return nullptr;
    }
    theInstaller().setEvents(window->events());
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    pump(100);
    return window;
}

void saveScreenshot(framework::windows::Direct2dWindow &window, const std::wstring &name)
{
    pump(50);
    ASSERT_HRESULT_SUCCEEDED(window.render(nullptr));
    const std::wstring folder = testsupport::kBinDir + L"\\..\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<uint32_t> pixels =
        frameworktest::surfacePixels(window, window.getPixelWidth(), window.getPixelHeight());
    ASSERT_FALSE(pixels.empty());
    EXPECT_HRESULT_SUCCEEDED(frameworktest::savePng(folder + L"\\" + name + L".png", window.getPixelWidth(),
                                                    window.getPixelHeight(), pixels));
}

} // namespace uitest
