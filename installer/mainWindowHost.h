#pragma once

#include <windows.h>

namespace installer {

class Installer;

// Creates the installer's main window, hidden, centred on the primary
// monitor, on its start page (initialPage 0) or on `initialPage`.
[[nodiscard]] HRESULT createMainWindow(Installer &installer, int initialPage, HWND &window);

} // namespace installer
