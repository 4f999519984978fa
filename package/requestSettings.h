#pragma once

#include "win32lib/http/WinHttpWrapperAbstract.h"

// What the installer's own requests to the installation server (manifest and
// package) send and how long they wait.
namespace package {

#if defined(_WIN64)
inline constexpr wchar_t kInstallerUserAgent[] = L"KestruneInstaller/1.0.5 (x64)";
#else
inline constexpr wchar_t kInstallerUserAgent[] = L"KestruneInstaller/1.0.5 (x86)";
#endif

// Resolve, connect, send, receive.
inline constexpr Win32Lib::wrappers::http::HttpTimeouts kRequestTimeouts = {20000, 10000, 10000, 10000};

} // namespace package
