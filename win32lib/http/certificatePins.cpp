#include "win32lib/http/certificatePins.h"

#include "win32lib/encryption/protectedStrings.h"

namespace win32lib::http {

void pinCertificates(HttpClient &client, std::span<const CertificatePin> pins)
{
    if (pins.empty()) {
        return;
    }
    client.setCertificatePinning(true);
    for (const CertificatePin &pin : pins) {
        client.addCertificatePin(pin.digest, pin.host);
    }
}

void pinConfiguredCertificates(HttpClient &client)
{
    const auto text = encryption::certificatePins();
    const std::optional<std::vector<CertificatePin>> pins =
        parseCertificatePins(std::wstring_view(text->data(), text->size()));
    if (!pins) {
        client.setCertificatePinning(true);
        return;
    }
    pinCertificates(client, *pins);
}

} // namespace win32lib::http
