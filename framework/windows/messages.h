#pragma once

#include <windows.h>

namespace framework::windows {

// Handled by every Direct2dWindow.
inline constexpr UINT kMsgShowView = WM_USER + 1; // wParam: view id
inline constexpr UINT kMsgViewData =
    WM_USER + 2;                                // wParam: view id, lParam: PageData*, owned by the window from then on
inline constexpr UINT kMsgRedraw = WM_USER + 3; // lParam: 0 for the whole window, or the controls::Item to redraw
inline constexpr UINT kMsgSetCursor = WM_USER + 4; // wParam: cursor handle
// lParam: the controls::Item whose default action an assistive technology
// asked for; acted on only if the page on show still holds it.
inline constexpr UINT kMsgActivateItem = WM_USER + 5;

// A window's answer to a sent kMsgViewData: it owns the record. Any other
// answer (SendMessageW fails with 0) leaves the record with the sender.
inline constexpr LRESULT kViewDataTaken = 1;

} // namespace framework::windows
