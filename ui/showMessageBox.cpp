#include "ui/showMessageBox.h"

#include "framework/base/CoreApplication.h"
#include "framework/text/measureText.h"
#include "ui/MessageBoxWindow.h"
#include "ui/layoutRules.h"

#include <cmath>
#include <memory>
#include <optional>
#include <string>

namespace ui {

namespace {

constexpr float kTextSize = 28.0f;
constexpr int kFailed = -1;

// The Direct2dWindow behind a window of this process, if it is one.
framework::windows::Direct2dWindow *direct2dWindowOf(HWND window)
{
    if (window == nullptr) {
        return nullptr;
    }
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    if (processId != ::GetCurrentProcessId()) {
        return nullptr;
    }
    // Only the program's own window classes keep their object there.
    wchar_t className[64] = {};
    if (::GetClassNameW(window, className, 64) == 0) {
        return nullptr;
    }
    const std::wstring name = className;
    if (name != L"Main Window" && name != L"MessageBox" && name != L"Top-Level Window") {
        return nullptr;
    }
    return reinterpret_cast<framework::windows::Direct2dWindow *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
}

} // namespace

int showMessageBox(HWND owner, const wchar_t *text, const wchar_t *caption, unsigned flags)
{
    const framework::text::FontDescription font = framework::base::uiFont();
    const std::wstring message = text != nullptr ? text : L"";

    std::optional<Size> measured;
    if (!message.empty()) {
        framework::text::TextMetrics metrics{};
        if (!framework::text::measureText(message.c_str(), font, kTextSize, metrics)) {
            return kFailed;
        }
        measured = Size{metrics.width, metrics.height};
    }
    const Size size = messageBoxSize(measured);

    auto box = std::make_unique<MessageBoxWindow>(direct2dWindowOf(owner), caption, static_cast<unsigned>(size.width),
                                                  static_cast<unsigned>(size.height), message, flags);
    if (FAILED(box->initialize(0))) {
        return kFailed;
    }
    const HWND boxWindow = box->handle();
    ::ShowWindow(boxWindow, SW_SHOWNORMAL);
    ::NotifyWinEvent(EVENT_SYSTEM_DIALOGSTART, boxWindow, OBJID_WINDOW, CHILDID_SELF);
    if (owner != nullptr) {
        ::EnableWindow(owner, FALSE);
    }
    bool ownerEnabled = owner == nullptr;
    auto enableOwner = [&] {
        if (!ownerEnabled) {
            ::EnableWindow(owner, TRUE);
            ::SetForegroundWindow(owner);
            ownerEnabled = true;
        }
    };

    MSG msg = {};
    for (;;) {
        const BOOL got = ::GetMessageW(&msg, nullptr, 0, 0);
        if (got == -1) {
            break;
        }
        if (got == 0) {
            // The application's own loop must end too.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        bool closing = false;
        if (msg.hwnd == boxWindow &&
            (msg.message == WM_CLOSE || (msg.message == WM_SYSCOMMAND && (msg.wParam & 0xFFF0) == SC_CLOSE))) {
            // Before the box goes, so that Windows activates the owner.
            enableOwner();
            closing = true;
        }
        ::TranslateMessage(&msg);
        ::DispatchMessageW(&msg);
        // A close that was sent rather than posted (Alt+F4 goes through
        // DefWindowProc) destroys the box without passing through here.
        if (closing || !::IsWindow(boxWindow)) {
            break;
        }
    }
    enableOwner();
    ::NotifyWinEvent(EVENT_SYSTEM_DIALOGEND, boxWindow, OBJID_WINDOW, CHILDID_SELF);
    const int result = box->result();
    box.reset();
    return result;
}

} // namespace ui
