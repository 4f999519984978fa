#pragma once

#include <windows.h>

namespace ui {

// The application's own message box: flags and results as MessageBoxW's
// (0 = OK, 4 = Yes/No, 1 = OK/Cancel); 0 when closed otherwise, -1 when the
// box could not be shown. `owner` is disabled while the box is open.
int showMessageBox(HWND owner, const wchar_t *text, const wchar_t *caption, unsigned flags);

} // namespace ui
