#include "installer/launching.h"

namespace installer {

// STUB until launching lands.
uint16_t runUpdater(const std::wstring &, const std::wstring &, bool, uint32_t &detail)
{
    detail = ERROR_NOT_SUPPORTED;
    return 20060;
}

HRESULT shellExecuteUnelevated(const wchar_t *, const wchar_t *, const wchar_t *, const wchar_t *, int)
{
    return E_NOTIMPL;
}

} // namespace installer
