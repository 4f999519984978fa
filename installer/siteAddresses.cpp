#include "installer/siteAddresses.h"

namespace installer {

// PLACEHOLDER until the protected string store holds the address: the
// configured address in plain text.
std::wstring finishPageAddress()
{
    return KESTRUNE_FINISH_URL;
}

} // namespace installer
