#pragma once

#include <windows.h>

namespace installer {

// True when the key can be opened for reading or exists but may not be read
// (access denied). With `retryIn32BitView`, a key missing under HKLM or HKCU
// is looked up once more in the 32-bit registry view.
[[nodiscard]] bool keyExists(HKEY root, const wchar_t *subKey, bool retryIn32BitView);

} // namespace installer
