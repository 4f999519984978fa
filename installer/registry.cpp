#include "installer/registry.h"

#include "win32lib/UniqueResource.h"

namespace installer {

bool keyExists(HKEY root, const wchar_t *subKey, bool retryIn32BitView)
{
    win32lib::UniqueHKey key;
    LONG result = ::RegOpenKeyExW(root, subKey, 0, KEY_READ, key.put());
    if (result == ERROR_FILE_NOT_FOUND && retryIn32BitView &&
        (root == HKEY_LOCAL_MACHINE || root == HKEY_CURRENT_USER)) {
        result = ::RegOpenKeyExW(root, subKey, 0, KEY_READ | KEY_WOW64_32KEY, key.put());
    }
    return result == ERROR_SUCCESS || result == ERROR_ACCESS_DENIED;
}

} // namespace installer
