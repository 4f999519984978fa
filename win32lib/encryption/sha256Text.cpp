#include "win32lib/encryption/sha256Text.h"

namespace win32lib::encryption {

bool parseSha256Text(std::wstring_view text, Sha256Digest &digest) noexcept
{
    const auto hexDigitValue = [](wchar_t c) {
        if (c >= L'0' && c <= L'9') {
            return c - L'0';
        }
        if (c >= L'a' && c <= L'f') {
            return c - L'a' + 10;
        }
        if (c >= L'A' && c <= L'F') {
            return c - L'A' + 10;
        }
        return -1;
    };
    if (text.size() != digest.size() * 2) {
        return false;
    }
    for (std::size_t i = 0; i < digest.size(); ++i) {
        const int high = hexDigitValue(text[2 * i]);
        const int low = hexDigitValue(text[2 * i + 1]);
        if (high < 0 || low < 0) {
            return false;
        }
        digest[i] = static_cast<uint8_t>(high << 4 | low);
    }
    return true;
}

} // namespace win32lib::encryption
