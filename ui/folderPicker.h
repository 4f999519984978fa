#pragma once

#include <windows.h>
#include <shtypes.h>

#include <optional>
#include <string>

namespace ui {

// The system folder picker, modal over `owner`, opened in the known folder
// `start`. Nothing when the user cancels or any step fails.
[[nodiscard]] std::optional<std::wstring> pickFolder(HWND owner, REFKNOWNFOLDERID start);

} // namespace ui
