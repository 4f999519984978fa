#pragma once

#include <string>

namespace installer {

// The page opened in the browser after a successful installation.
[[nodiscard]] std::wstring finishPageAddress();

} // namespace installer
