#include "win32lib/http/certificatePinText.h"

namespace win32lib::http {

namespace {

bool isHostCharacter(wchar_t c)
{
    return (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || (c >= L'0' && c <= L'9') || c == L'.' || c == L'-';
}

std::optional<CertificatePin> parseEntry(std::wstring_view entry)
{
    const size_t equals = entry.find(L'=');
    if (equals == std::wstring_view::npos) {
        return std::nullopt;
    }
    const std::wstring_view host = entry.substr(0, equals);
    const std::wstring_view hex = entry.substr(equals + 1);
    CertificatePin pin{std::wstring(host), {}};
    if (host.empty() || host.size() > kMaxPinnedHostLength || hex.size() != 2 * pin.digest.size()) {
        return std::nullopt;
    }
    for (const wchar_t c : host) {
        if (!isHostCharacter(c)) {
            return std::nullopt;
        }
    }
    if (!win32lib::encryption::parseSha256Text(hex, pin.digest)) {
        return std::nullopt;
    }
    return pin;
}

} // namespace

std::optional<std::vector<CertificatePin>> parseCertificatePins(std::wstring_view text)
{
    std::vector<CertificatePin> pins;
    if (text.empty()) {
        return pins;
    }
    for (;;) {
        const size_t separator = text.find(L';');
        const std::optional<CertificatePin> pin = parseEntry(text.substr(0, separator));
        if (!pin || pins.size() == kMaxCertificatePins) {
            return std::nullopt;
        }
        pins.push_back(*pin);
        if (separator == std::wstring_view::npos) {
            return pins;
        }
        text.remove_prefix(separator + 1);
    }
}

} // namespace win32lib::http
