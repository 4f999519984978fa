#pragma once

#include "kestrune/config.h"
#include "win32lib/http/WinHttpWrapperAbstract.h"

// What the installer's own requests to the installation server (manifest and
// package) send and how long they wait.
namespace package {

inline constexpr wchar_t kInstallerUserAgent[] = KESTRUNE_INSTALLER_USER_AGENT;

// Resolve, connect, send, receive.
inline constexpr Win32Lib::wrappers::http::HttpTimeouts kRequestTimeouts = {20000, 10000, 10000, 10000};

} // namespace package
