#pragma once

// Authenticode signatures embedded in programs, checked by WinVerifyTrust.

#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace win32lib::encryption {

// Who signed a program: the signing certificate's subject and issuer, as
// encoded names.
struct Signer {
    std::vector<uint8_t> subject;
    std::vector<uint8_t> issuer;

    bool operator==(const Signer &) const = default;
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
