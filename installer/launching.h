#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace installer {

// Runs "<destination>\Update\KestruneUpdater.exe" -i and, when it succeeds,
// writes the registration. Returns 0, 20060 or 20061; `detail` receives the
// Windows error or the updater's exit code. A failure leaves the files where
// they are: the run knows which of them are its own to remove.
[[nodiscard]] uint16_t runUpdater(const std::wstring &destination, const std::wstring &version,
                                  bool createDesktopShortcut, uint32_t &detail);

// The updater's command line; the path is quoted because install folders
// usually contain spaces.
[[nodiscard]] std::wstring updaterCommandLine(const std::wstring &destination);

// Starts a program with the desktop shell's (normally unelevated) rights.
HRESULT shellExecuteUnelevated(const wchar_t *file, const wchar_t *folder, const wchar_t *arguments,
                               const wchar_t *verb, int showCommand);

// Opens a web address the same way: the browser must not inherit the
// installer's elevation.
HRESULT openInBrowser(const std::wstring &address, int showCommand);

} // namespace installer
