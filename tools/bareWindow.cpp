// The yardstick for the installer's time to first frame: a bare borderless
// window of the installer's size that clears itself with Direct2D and does
// nothing else. Started by `kestrune_first_frame`; ends when closed.
//   kestrune_bare_window [MARKS-FILE]
// With KESTRUNE_STARTUP_MARKS set, its first frame is split at its steps and
// the marks are appended to MARKS-FILE in the installer's words, so that the
// yardstick's own time can be read beside the installer's.
#include "telemetry/processClock.h"

#include <d2d1.h>
#include <windows.h>
#include <wrl/client.h>

#include <cstdio>
#include <iterator>

namespace {

using Microsoft::WRL::ComPtr;

constexpr int kWidth = 768;
constexpr int kHeight = 446;

ComPtr<ID2D1Factory> factory;
ComPtr<ID2D1HwndRenderTarget> target;
// The command line, which lives as long as the process; null for no marks.
const wchar_t *marksFile = nullptr;

struct Mark {
    const char *step;
    double ms;
};
Mark marks[4];
int markCount = 0;

void mark(const char *step)
{
    if (marksFile != nullptr && markCount < static_cast<int>(std::size(marks))) {
        marks[markCount++] = {step, telemetry::millisecondsSinceProcessStart()};
    }
}

// Once, after the first frame: writing while timing would be timed too.
void writeMarks()
{
    if (marksFile == nullptr || markCount == 0) {
        return;
    }
    if (FILE *file = ::_wfopen(marksFile, L"a")) {
        for (int index = 0; index < markCount; ++index) {
            std::fprintf(file, "Start-up mark: %s at %.1f ms\n", marks[index].step, marks[index].ms);
        }
        std::fclose(file);
    }
    marksFile = nullptr;
}

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
        mark("render target");
    }
    target->BeginDraw();
    target->Clear(D2D1::ColorF(0x1B1B1E));
    // Under Wine a fresh device's first drawing call returns only once the
    // device is ready to draw: that is where much of this window's time goes.
    mark("first drawing call");
    if (target->EndDraw() == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        target.Reset();
    }
    mark("frame ended");
    writeMarks();
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

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR arguments, int)
{
    if (::GetEnvironmentVariableW(L"KESTRUNE_STARTUP_MARKS", nullptr, 0) > 0 && arguments != nullptr &&
        *arguments != L'\0') {
        marksFile = arguments;
    }
    mark("entry");
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
