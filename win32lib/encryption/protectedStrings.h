#pragma once

// The addresses and the user agent kept enciphered in the program, deciphered
// on each call into memory that is wiped when the last reference goes.

#include "win32lib/encryption/SecureAllocator.h"

namespace win32lib::encryption {

// Full URL of the update manifest.
[[nodiscard]] SharedSecureWString manifestAddress();
// Address and user agent of the connectivity probe run after a failed
// manifest request.
[[nodiscard]] SharedSecureWString probeAddress();
[[nodiscard]] SharedSecureWString probeUserAgent();
// Telemetry base address; ends with "/" so that event names are appended.
[[nodiscard]] SharedSecureWString telemetryAddress();
// printf-style format with two %ls: campaign and channel identifiers.
[[nodiscard]] SharedSecureWString successAddressFormat();
// Web page opened after a successful installation.
[[nodiscard]] SharedSecureWString finishPageAddress();
// The server certificates this build pins ("host=digest;..."), empty when it
// pins none; read by win32lib/http/certificatePins.h.
[[nodiscard]] SharedSecureWString certificatePins();

} // namespace win32lib::encryption
