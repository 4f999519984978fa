#include "ui/ShowMessageBox.h"

namespace application {

// PLACEHOLDER until the custom-drawn box exists: the system box with the
// same contract.
int ShowMessageBox(HWND owner, const wchar_t *text, const wchar_t *caption, unsigned flags)
{
    const int result = ::MessageBoxW(owner, text, caption, flags);
    return result == 0 ? -1 : result;
}

} // namespace application
