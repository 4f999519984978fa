#pragma once

#include "win32lib/encryption/SecureAllocator.h"

namespace framework::resources {

// Encoded picture bytes (any format WIC decodes), wiped when released.
using PictureBytes = win32lib::encryption::SharedSecureString;

// The program's picture `id` from its protected store; null or empty when it
// has none or the record is rejected.
[[nodiscard]] PictureBytes pictureBytes(int id);

// Where pictures come from. Tests put pictures of known content, or
// malformed store records, in front of the window through this.
using PictureLookup = PictureBytes (*)(int id);
PictureLookup replacePictureLookup(PictureLookup lookup) noexcept;

} // namespace framework::resources
