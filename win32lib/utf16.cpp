#include "win32lib/utf16.h"

#ifdef _WIN32
#include <windows.h>

#include <algorithm>
#include <climits>
#else
#include <cstdint>
#endif

namespace win32lib {

#ifdef _WIN32

size_t utf8ToUtf16(std::string_view bytes, wchar_t *wide, size_t capacity) noexcept
{
    if (bytes.empty() || bytes.size() > static_cast<size_t>(INT_MAX)) {
        return 0;
    }
    const int units =
        ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), wide,
                              wide == nullptr ? 0 : static_cast<int>(std::min<size_t>(capacity, INT_MAX)));
    return units > 0 ? static_cast<size_t>(units) : 0;
}

#else

// Built for the build machine (the parsers' fuzz targets), where Windows'
// decoder does not exist: the same strict rules, written out.
size_t utf8ToUtf16(std::string_view bytes, wchar_t *wide, size_t capacity) noexcept
{
    size_t units = 0;
    const auto put = [&](uint32_t unit) {
        if (wide != nullptr) {
            if (units == capacity) {
                return false;
            }
            wide[units] = static_cast<wchar_t>(unit);
        }
        ++units;
        return true;
    };
    size_t position = 0;
    while (position < bytes.size()) {
        const uint32_t lead = static_cast<uint8_t>(bytes[position]);
        size_t length = 0;
        uint32_t codePoint = 0;
        uint32_t smallest = 0;
        if (lead < 0x80) {
            length = 1;
            codePoint = lead;
        } else if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
            codePoint = lead & 0x1F;
            smallest = 0x80;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            codePoint = lead & 0x0F;
            smallest = 0x800;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            codePoint = lead & 0x07;
            smallest = 0x10000;
        } else {
            return 0;
        }
        if (length > bytes.size() - position) {
            return 0;
        }
        for (size_t i = 1; i < length; ++i) {
            const uint32_t continuation = static_cast<uint8_t>(bytes[position + i]);
            if ((continuation & 0xC0) != 0x80) {
                return 0;
            }
            codePoint = codePoint << 6 | (continuation & 0x3F);
        }
        if (codePoint < smallest || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
            return 0;
        }
        const bool stored = codePoint < 0x10000
                                ? put(codePoint)
                                : put(0xD800 + ((codePoint - 0x10000) >> 10)) && put(0xDC00 + (codePoint & 0x3FF));
        if (!stored) {
            return 0;
        }
        position += length;
    }
    return units;
}

#endif

} // namespace win32lib
