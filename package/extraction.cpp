#include "package/extraction.h"

#include <windows.h>

namespace package {

// STUB until extraction lands.
bool extractArchive(ExtractResult &result, const std::wstring &, const std::wstring &)
{
    result.code = kExtractOpenArchive;
    result.zipCode = 0;
    ::SetLastError(ERROR_NOT_SUPPORTED);
    return false;
}

} // namespace package
