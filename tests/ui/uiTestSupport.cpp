#include "tests/ui/uiTestSupport.h"

#include "app/Application.h"
#include "app/privileges.h"
#include "tests/framework/frameworkTestSupport.h"
#include "tests/support/paths.h"
#include "ui/MyMessageBox.h"

#include <gtest/gtest.h>

#include <cmath>

namespace uitest {

namespace {

std::function<void(HWND)> g_boxAction;
UINT_PTR g_boxTimer = 0;

BOOL CALLBACK findMessageBox(HWND window, LPARAM found) noexcept
{
    wchar_t className[32] = {};
    if (::IsWindowVisible(window) && ::GetClassNameW(window, className, 32) > 0 &&
        std::wstring(className) == L"MessageBox") {
        *reinterpret_cast<HWND *>(found) = window;
        return FALSE;
    }
    return TRUE;
}

// Thread timer: its messages are dispatched by whichever loop runs, the
// message box's modal one included.
VOID CALLBACK watchForMessageBox(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    const HWND box = openMessageBox();
    if (box == nullptr || !g_boxAction) {
        return;
    }
    ::KillTimer(nullptr, g_boxTimer);
    g_boxTimer = 0;
    auto action = std::move(g_boxAction);
    g_boxAction = nullptr;
    action(box);
}

LPARAM pointParam(const application::controls::windows::Direct2dWindow &window, float x, float y)
{
    const POINT pixel = toPixels(window, x, y);
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
    steps.logError = [](uint32_t, uint32_t, uint32_t, uint32_t, uint32_t) {};
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

POINT toPixels(const application::controls::windows::Direct2dWindow &window, float x, float y)
{
    return {static_cast<LONG>(std::lround(x * window.getScaleX())), static_cast<LONG>(std::lround(y * window.getScaleY()))};
}

void mouseMove(const application::controls::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_MOUSEMOVE, 0, pointParam(window, x, y));
    pump(20);
}

void mouseDown(const application::controls::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_LBUTTONDOWN, MK_LBUTTON, pointParam(window, x, y));
    pump(20);
}

void mouseUp(const application::controls::windows::Direct2dWindow &window, float x, float y)
{
    ::PostMessageW(window.handle(), WM_LBUTTONUP, 0, pointParam(window, x, y));
}

void clickAt(const application::controls::windows::Direct2dWindow &window, float x, float y)
{
    mouseMove(window, x, y);
    mouseDown(window, x, y);
    mouseUp(window, x, y);
}

void click(const application::controls::windows::Direct2dWindow &window, const framework::controls::Item &item)
{
    clickAt(window, item.x + item.width / 2.0f, item.y + item.height / 2.0f);
}

HWND openMessageBox()
{
    HWND found = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), findMessageBox, reinterpret_cast<LPARAM>(&found));
    return found;
}

void whenMessageBoxOpens(std::function<void(HWND box)> action)
{
    g_boxAction = std::move(action);
    if (g_boxTimer == 0) {
        g_boxTimer = ::SetTimer(nullptr, 0, 30, watchForMessageBox);
    }
}

void clickBoxButton(HWND box, const std::wstring &caption)
{
    auto *window = reinterpret_cast<application::MyMessageBox *>(::GetWindowLongPtrW(box, GWLP_USERDATA));
    ASSERT_NE(window, nullptr);
    for (auto *button : elementsOf<application::MyButton>(*window->getCurrentView())) {
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

std::unique_ptr<installer::MainWindow> openMainWindow(int initialPage)
{
    auto window = std::make_unique<installer::MainWindow>(theInstaller());
    const HRESULT result = window->initialize(initialPage);
    EXPECT_HRESULT_SUCCEEDED(result);
    if (FAILED(result)) {
        return nullptr;
    }
    theInstaller().useWindowForTesting(window->handle());
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    pump(100);
    return window;
}

void saveScreenshot(application::controls::windows::Direct2dWindow &window, const std::wstring &name)
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
