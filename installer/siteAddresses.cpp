#include "installer/siteAddresses.h"

#include "win32lib/encryption/protectedStrings.h"

namespace installer {

// Kept enciphered in the program like the server addresses.
std::wstring finishPageAddress()
{
    const auto address = Win32Lib::encryption::protectedStrings::finishPageAddress();
    return std::wstring(address->begin(), address->end());
}

} // namespace installer
