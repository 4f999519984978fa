#include "tests/installer/pageMessages.h"

#include <memory>

namespace testsupport {
namespace {

constexpr wchar_t kSinkClass[] = L"KestruneTestPageSink";

LRESULT CALLBACK sinkProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (message == WM_NCCREATE) {
        const auto *create = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto *sink = reinterpret_cast<PageMessageSink *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case ui::kMsgShowView:
        sink->messages.push_back({message, wParam, 0, 0});
        return 0;
    case ui::kMsgViewData: {
        std::unique_ptr<ui::PageData> data(reinterpret_cast<ui::PageData *>(lParam));
        sink->messages.push_back({message, wParam, data->kind, data->value});
        return framework::windows::kViewDataTaken;
    }
    case WM_CLOSE:
        sink->messages.push_back({message, 0, 0, 0});
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

PageMessageSink::PageMessageSink(const RECT *rect)
{
    WNDCLASSW windowClass = {};
    windowClass.lpfnWndProc = sinkProc;
    windowClass.hInstance = ::GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kSinkClass;
    ::RegisterClassW(&windowClass);
    if (rect == nullptr) {
        window_ = ::CreateWindowExW(0, kSinkClass, L"sink", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, windowClass.hInstance,
                                    this);
    } else {
        window_ = ::CreateWindowExW(WS_EX_TOOLWINDOW, kSinkClass, L"sink", WS_POPUP, rect->left, rect->top,
                                    rect->right - rect->left, rect->bottom - rect->top, nullptr, nullptr,
                                    windowClass.hInstance, this);
    }
}

PageMessageSink::~PageMessageSink()
{
    ::DestroyWindow(window_);
}

std::vector<int64_t> PageMessageSink::values(WPARAM page, int64_t kind) const
{
    std::vector<int64_t> found;
    for (const PageMessage &message : messages) {
        if (message.message == ui::kMsgViewData && message.page == page && message.kind == kind) {
            found.push_back(message.value);
        }
    }
    return found;
}

std::vector<WPARAM> PageMessageSink::shownPages() const
{
    std::vector<WPARAM> pages;
    for (const PageMessage &message : messages) {
        if (message.message == ui::kMsgShowView) {
            pages.push_back(message.page);
        }
    }
    return pages;
}

int PageMessageSink::closeRequests() const
{
    int count = 0;
    for (const PageMessage &message : messages) {
        count += message.message == WM_CLOSE ? 1 : 0;
    }
    return count;
}

void pumpMessages()
{
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

bool pumpUntilSignalled(HANDLE handle, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        const ULONGLONG now = ::GetTickCount64();
        if (now >= deadline) {
            return false;
        }
        const DWORD result =
            ::MsgWaitForMultipleObjects(1, &handle, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
        if (result == WAIT_OBJECT_0) {
            pumpMessages();
            return true;
        }
        if (result != WAIT_OBJECT_0 + 1) {
            return false;
        }
        pumpMessages();
    }
}

} // namespace testsupport
