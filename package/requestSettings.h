#pragma once

#include "kestrune/config.h"
#include "win32lib/http/HttpClient.h"

// What the installer's own requests to the installation server (manifest and
// package) send and how long they wait.
namespace package {

inline constexpr wchar_t kInstallerUserAgent[] = KESTRUNE_INSTALLER_USER_AGENT;

// Resolve, connect, send, receive.
inline constexpr win32lib::http::HttpTimeouts kRequestTimeouts = {20000, 10000, 10000, 10000};

} // namespace package
