#include "installer/mainWindowHost.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "installer/Installer.h"
#include "installer/PageData.h"

#include <cmath>
#include <memory>

// PLACEHOLDER until the custom-drawn main window exists: a plain borderless
// window of the main window's size that follows the page switches without
// drawing them, frees every PageData, asks the worker to stop when closed on
// the installing page and otherwise runs the finish actions and closes.

namespace installer {
namespace {

constexpr wchar_t kClassName[] = L"Main Window";
constexpr float kWidthDips = 767.0f;
constexpr float kHeightDips = 444.0f;

// The current page is kept in the window's extra bytes, the installer in
// its user data.
constexpr int kCurrentPageSlot = 0;

LRESULT CALLBACK mainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    auto *installer = reinterpret_cast<Installer *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCCREATE: {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        break;
    }
    case kMsgShowView:
        if (wParam >= kPageStart && wParam <= kPageError) {
            ::SetWindowLongPtrW(window, kCurrentPageSlot, static_cast<LONG_PTR>(wParam));
        }
        return 0;
    case kMsgViewData: {
        std::unique_ptr<PageData> data(reinterpret_cast<PageData *>(lParam));
        return 0;
    }
    case WM_CLOSE:
        if (::GetWindowLongPtrW(window, kCurrentPageSlot) == kPageInstalling) {
            installer->options().cancelRequested = 1;
            return 0;
        }
        installer->finishActions();
        ::DestroyWindow(window);
        return 0;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        break;
    }
    return ::DefWindowProcW(window, message, wParam, lParam);
}

bool registerClass(HINSTANCE instance)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = mainWindowProc;
    windowClass.cbWndExtra = sizeof(LONG_PTR);
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    return ::RegisterClassExW(&windowClass) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

int physicalPixels(float dips, int dpi)
{
    return static_cast<int>(std::ceil(dips * static_cast<float>(dpi) / 96.0f));
}

} // namespace

HRESULT createMainWindow(Installer &installer, int initialPage, HWND &window)
{
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (!registerClass(instance)) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    const int dpi = static_cast<int>(::GetDpiForSystem());
    const int width = physicalPixels(kWidthDips, dpi);
    const int height = physicalPixels(kHeightDips, dpi);
    RECT workArea = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &workArea, 0);
    const int left = workArea.left + (workArea.right - workArea.left - width) / 2;
    const int top = workArea.top + (workArea.bottom - workArea.top - height) / 2;

    window = ::CreateWindowExW(WS_EX_APPWINDOW, kClassName, app::loadString(app::ids::kCaption).c_str(), WS_POPUP,
                               left, top, width, height, nullptr, nullptr, instance, &installer);
    if (window == nullptr) {
        return HRESULT_FROM_WIN32(::GetLastError());
    }
    ::SetWindowLongPtrW(window, kCurrentPageSlot, initialPage == 0 ? kPageStart : initialPage);
    return S_OK;
}

} // namespace installer
