// The yardstick for the installer's time to first frame: a bare borderless
// window of the installer's size that clears itself with Direct2D and does
// nothing else. Started by `kestrune_first_frame`; ends when closed.
#include <d2d1.h>
#include <windows.h>
#include <wrl/client.h>

namespace {

using Microsoft::WRL::ComPtr;

constexpr int kWidth = 768;
constexpr int kHeight = 446;

ComPtr<ID2D1Factory> factory;
ComPtr<ID2D1HwndRenderTarget> target;

void paint(HWND window)
{
    if (!target) {
        RECT client = {};
        ::GetClientRect(window, &client);
        if (FAILED(factory->CreateHwndRenderTarget(
                D2D1::RenderTargetProperties(),
                D2D1::HwndRenderTargetProperties(
                    window, D2D1::SizeU(static_cast<UINT32>(client.right), static_cast<UINT32>(client.bottom))),
                &target))) {
            return;
        }
    }
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0x1B1B1E));
    if (target->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        target.Reset();
    }
}

LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paintStruct;
        ::BeginPaint(window, &paintStruct);
        paint(window);
        ::EndPaint(window, &paintStruct);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int)
{
    if (FAILED(::D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, factory.GetAddressOf()))) {
        return 1;
    }
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProc;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.lpszClassName = L"BareDirect2dWindow";
    ::RegisterClassExW(&windowClass);
    RECT work = {};
    ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    const HWND window = ::CreateWindowExW(0, windowClass.lpszClassName, L"Bare Direct2D window", WS_POPUP,
                                          work.left + (work.right - work.left - kWidth) / 2,
                                          work.top + (work.bottom - work.top - kHeight) / 2, kWidth, kHeight, nullptr,
                                          nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ::ShowWindow(window, SW_SHOW);
    ::UpdateWindow(window);
    MSG message;
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    target.Reset();
    factory.Reset();
    return 0;
}
