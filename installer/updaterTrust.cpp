#include "installer/updaterTrust.h"

#include "kestrune/config.h"
#include "win32lib/encryption/Sha256.h"

#include <winerror.h>

#include <vector>

namespace installer {

namespace {

using win32lib::encryption::Signer;

// Windows error of a failed look-up of this program's own path, or 0.
DWORD ownPath(std::wstring &path)
{
    std::vector<wchar_t> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            return ::GetLastError();
        }
        if (length < buffer.size()) {
            path.assign(buffer.data(), length);
            return ERROR_SUCCESS;
        }
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

uint32_t updaterTrustDetail(LONG installerVerdict, const Signer &installerSigner, LONG updaterVerdict,
                            const Signer &updaterSigner)
{
    // A signature of our own that does not verify names no signer to trust.
    if (installerVerdict != ERROR_SUCCESS) {
        return static_cast<uint32_t>(installerVerdict);
    }
    if (updaterVerdict != ERROR_SUCCESS) {
        return static_cast<uint32_t>(updaterVerdict);
    }
    // Under the same root anyone can buy a certificate; only our own
    // signer's name and issuer together identify our programs.
    if (updaterSigner != installerSigner) {
        return static_cast<uint32_t>(TRUST_E_NOSIGNATURE);
    }
    return ERROR_SUCCESS;
}

uint32_t builtInSignerDetail(const Signer::CertificateDigest &expected, LONG updaterVerdict,
                             const Signer &updaterSigner)
{
    if (updaterVerdict != ERROR_SUCCESS) {
        return static_cast<uint32_t>(updaterVerdict);
    }
    if (updaterSigner.certificateDigest != expected) {
        return static_cast<uint32_t>(TRUST_E_NOSIGNATURE);
    }
    return ERROR_SUCCESS;
}

std::optional<Signer::CertificateDigest> parseSignerDigest(std::wstring_view text)
{
    // A certificate's digest is a SHA-256, written as any other.
    Signer::CertificateDigest digest = {};
    if (!win32lib::encryption::parseSha256Text(text, digest)) {
        return std::nullopt;
    }
    return digest;
}

uint32_t checkUpdaterTrust(HANDLE updaterFile, const std::wstring &updaterPath)
{
    constexpr std::wstring_view builtInSigner = KESTRUNE_UPDATER_SIGNER_SHA256;
    if (!builtInSigner.empty()) {
        // The configuration refuses a malformed digest; a build that holds one
        // anyway trusts no updater.
        const std::optional<Signer::CertificateDigest> expected = parseSignerDigest(builtInSigner);
        if (!expected) {
            return static_cast<uint32_t>(TRUST_E_NOSIGNATURE);
        }
        Signer updaterSigner;
        const LONG updaterVerdict =
            win32lib::encryption::verifyEmbeddedSignature(updaterFile, updaterPath, updaterSigner);
        return builtInSignerDetail(*expected, updaterVerdict, updaterSigner);
    }
    // Development and test builds carry no signature and run any updater.
    if (!win32lib::encryption::imageCarriesSignature(::GetModuleHandleW(nullptr))) {
        return ERROR_SUCCESS;
    }
    std::wstring installerPath;
    if (const DWORD error = ownPath(installerPath); error != ERROR_SUCCESS) {
        return error;
    }
    Signer installerSigner;
    const LONG installerVerdict =
        win32lib::encryption::verifyEmbeddedSignature(nullptr, installerPath, installerSigner);
    Signer updaterSigner;
    const LONG updaterVerdict =
        installerVerdict == ERROR_SUCCESS
            ? win32lib::encryption::verifyEmbeddedSignature(updaterFile, updaterPath, updaterSigner)
            : installerVerdict;
    return updaterTrustDetail(installerVerdict, installerSigner, updaterVerdict, updaterSigner);
}

} // namespace installer
