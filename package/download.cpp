#include "package/download.h"

namespace package {

// STUB until the download step lands.
uint16_t downloadPackage(UpdateInfo &, const std::wstring &, const Win32Lib::wrappers::http::ProgressCallback &)
{
    return 20011;
}

std::wstring makeRandomName(unsigned length)
{
    return std::wstring(length > 0 ? length - 1 : 0, L'0');
}

} // namespace package
