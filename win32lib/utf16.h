#pragma once

// UTF-8 to the program's wide text, UTF-16 code units held in wchar_t.

#include <cstddef>
#include <string_view>

namespace win32lib {

// As MultiByteToWideChar with CP_UTF8 and MB_ERR_INVALID_CHARS: with `wide`
// null, the number of UTF-16 units `bytes` decode to; otherwise writes them
// into `wide` and returns their number. 0 for empty input, invalid UTF-8
// (truncated or overlong sequences, surrogates, code points beyond U+10FFFF)
// or a `capacity` below the number of units needed.
[[nodiscard]] size_t utf8ToUtf16(std::string_view bytes, wchar_t *wide, size_t capacity) noexcept;

} // namespace win32lib
