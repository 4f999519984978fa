#include "installer/siteAddresses.h"

#include "win32lib/encryption/protectedStrings.h"

namespace installer {

// Kept enciphered in the program like the server addresses.
Win32Lib::encryption::TransientWString finishPageAddress()
{
    const auto address = Win32Lib::encryption::protectedStrings::finishPageAddress();
    return Win32Lib::encryption::TransientWString(*address);
}

} // namespace installer
