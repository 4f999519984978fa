#pragma once

#include <windows.h>

namespace win32lib {

// Whether Windows itself is 64-bit, whatever this program's word size. A
// 32-bit program that cannot tell counts the system as 64-bit.
[[nodiscard]] inline bool isWindows64Bit()
{
#if defined(_WIN64)
    return true;
#else
    BOOL wow64 = FALSE;
    if (!::IsWow64Process(::GetCurrentProcess(), &wow64)) {
        return true;
    }
    return wow64 != FALSE;
#endif
}

} // namespace win32lib
