#pragma once

// Authenticode signatures embedded in programs, checked by WinVerifyTrust.

#include <windows.h>

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace win32lib::encryption {

// Who signed a program: the signing certificate's subject and issuer, as
// encoded names, and the SHA-256 digest of the certificate itself.
struct Signer {
    using CertificateDigest = std::array<uint8_t, 32>;

    std::vector<uint8_t> subject;
    std::vector<uint8_t> issuer;
    CertificateDigest certificateDigest = {};

    // The same publisher: the same subject from the same issuer, whichever
    // of its certificates signed.
    bool operator==(const Signer &other) const { return subject == other.subject && issuer == other.issuer; }
};

// Whether a loaded image's headers name an embedded signature (the PE
// security directory), read without WinVerifyTrust and its provider
// registry: unsigned builds are told apart at no cost.
[[nodiscard]] bool imageCarriesSignature(HMODULE module) noexcept;

// WinVerifyTrust's verdict on the open file's embedded signature: 0 when it
// is valid, then `signer` is filled; TRUST_E_NOSIGNATURE when there is none;
// another failure otherwise. Revocation is not checked and nothing is fetched
// from the network, so no server can make it wait.
[[nodiscard]] LONG verifyEmbeddedSignature(HANDLE file, const std::wstring &path, Signer &signer);

} // namespace win32lib::encryption
