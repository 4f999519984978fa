#pragma once

#include <string_view>

namespace installer {

// Whether a destination given from outside the window (the command line, a
// record from another process) may be installed into: an absolute path on a
// local fixed drive ("X:\folder"), shorter than MAX_PATH, below the drive's
// root, without UNC, "\\?\" or "\\.\" forms, without "." or ".." segments
// and without characters Windows would drop or refuse.
[[nodiscard]] bool validateDestination(std::wstring_view destination);

} // namespace installer
