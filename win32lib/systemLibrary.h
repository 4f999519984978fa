#pragma once

#include "win32lib/UniqueResource.h"

namespace win32lib {

// Optional system libraries come from System32 only, never from the folder
// the program was started from.
[[nodiscard]] inline UniqueHModule loadSystemLibrary(const wchar_t *name) noexcept
{
    return UniqueHModule(::LoadLibraryExW(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32));
}

template <typename Function> [[nodiscard]] Function systemProc(HMODULE module, const char *name) noexcept
{
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void *>(::GetProcAddress(module, name)));
}

} // namespace win32lib
