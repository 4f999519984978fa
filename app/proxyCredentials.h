#pragma once

#include <windows.h>

#include <string>

namespace app {

// Asks the user, with the system's credential prompt, for the user name and
// password a proxy wants (Basic). Nothing is offered for saving and nothing
// is stored. False when the user cancels or the prompt cannot be shown.
[[nodiscard]] bool askProxyCredentials(HWND owner, const std::wstring &proxy, std::wstring &user,
                                       std::wstring &password);

} // namespace app
