#include "installer/siteAddresses.h"

#include "win32lib/encryption/protectedStrings.h"

namespace installer {

// Kept enciphered in the program like the server addresses.
win32lib::encryption::TransientWString finishPageAddress()
{
    const auto address = win32lib::encryption::finishPageAddress();
    return win32lib::encryption::TransientWString(*address);
}

} // namespace installer
