#pragma once

#include "win32lib/encryption/SecureAllocator.h"

namespace installer {

// The page opened in the browser after a successful installation, deciphered
// for the one call that opens it and wiped when that call's expression ends.
[[nodiscard]] win32lib::encryption::TransientWString finishPageAddress();

} // namespace installer
