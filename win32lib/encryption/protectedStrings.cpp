#include "win32lib/encryption/protectedStrings.h"

#include "win32lib/encryption/store.h"
#include "win32lib/encryption/storeRecords.h"

namespace win32lib::encryption {

SharedSecureWString manifestAddress()
{
    return decodeStringRecord(records::manifestAddress());
}

SharedSecureWString probeAddress()
{
    return decodeStringRecord(records::probeAddress());
}

SharedSecureWString probeUserAgent()
{
    return decodeStringRecord(records::probeUserAgent());
}

SharedSecureWString telemetryAddress()
{
    return decodeStringRecord(records::telemetryAddress());
}

SharedSecureWString successAddressFormat()
{
    return decodeStringRecord(records::successAddressFormat());
}

SharedSecureWString finishPageAddress()
{
    return decodeStringRecord(records::finishPageAddress());
}

SharedSecureWString certificatePins()
{
    return decodeStringRecord(records::certificatePins());
}

SharedSecureString decodePicture(uint16_t id)
{
    return decodePicture(records::pictureTable(), id);
}

} // namespace win32lib::encryption
