// The pinned certificates' text, as the protected store hands it over.

#include "tests/fuzz/fuzzInput.h"
#include "win32lib/http/certificatePinText.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using namespace win32lib::http;
    const std::wstring text = fuzz::utf16Units(data, size);
    const std::optional<std::vector<CertificatePin>> pins = parseCertificatePins(text);
    if (!pins) {
        return 0;
    }
    fuzz::expect(pins->size() <= kMaxCertificatePins, "at most the bound of pins");
    fuzz::expect(text.empty() == pins->empty(), "only empty text gives no pins");
    for (const CertificatePin &pin : *pins) {
        fuzz::expect(!pin.host.empty() && pin.host.size() <= kMaxPinnedHostLength, "host within its bounds");
    }
    return 0;
}
