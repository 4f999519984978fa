#pragma once

#include <string>

namespace app {

// LoadStringW into 250 characters: a longer text is cut to 249.
constexpr int kStringBufferLength = 250;

[[nodiscard]] std::wstring loadString(unsigned id);

// UTF-8 text of an RCDATA resource of the program's own module. Any failing
// step returns false and leaves `out` as it was.
[[nodiscard]] bool loadResourceText(unsigned id, std::wstring &out);

} // namespace app
