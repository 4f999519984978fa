#include "win32lib/fileWrite.h"

namespace win32lib {

bool writeAll(HANDLE file, const void *bytes, DWORD length, DWORD noProgressError) noexcept
{
    auto *next = static_cast<const BYTE *>(bytes);
    while (length > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, next, length, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(noProgressError);
            return false;
        }
        next += written;
        length -= written;
    }
    return true;
}

} // namespace win32lib
