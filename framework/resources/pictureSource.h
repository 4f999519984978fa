#pragma once

#include <string>

namespace framework::resources {

// Encoded picture bytes (any format WIC decodes).
using PictureBytes = std::string;

// The program's picture `id`; empty when it has none or its record is rejected.
[[nodiscard]] PictureBytes pictureBytes(int id);

// Where pictures come from. Tests put pictures of known content, or
// malformed store records, in front of the window through this.
using PictureLookup = PictureBytes (*)(int id);
PictureLookup replacePictureLookup(PictureLookup lookup) noexcept;

} // namespace framework::resources
