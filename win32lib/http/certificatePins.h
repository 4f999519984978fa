#pragma once

// Pinning the certificates of certificatePinText.h in an HTTP client.

#include "win32lib/http/HttpClient.h"
#include "win32lib/http/certificatePinText.h"

#include <span>

namespace win32lib::http {

// Switches certificate pinning on with `pins`; no pins leave the client as
// it was, checking nothing beyond WinHTTP's own validation.
void pinCertificates(HttpClient &client, std::span<const CertificatePin> pins);

// The same with the pins compiled into the program's protected store. A
// record that does not parse leaves pinning on with no pin at all, so every
// secure request is refused rather than sent unchecked.
void pinConfiguredCertificates(HttpClient &client);

} // namespace win32lib::http
