#pragma once

// Whether the updater found in the package may run as administrator.

#include "win32lib/encryption/authenticode.h"

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace installer {

// The rule for a signed installer, from the two verifications: it runs only
// an updater with a valid signature of its own signer. 0 when the updater may
// run, else the detail of 20060: the failed verification's result, or
// TRUST_E_NOSIGNATURE when the updater is signed by someone else.
[[nodiscard]] uint32_t updaterTrustDetail(LONG installerVerdict, const win32lib::encryption::Signer &installerSigner,
                                          LONG updaterVerdict, const win32lib::encryption::Signer &updaterSigner);

// The rule of a build with the publisher built in: the updater runs only
// with a valid signature by the certificate whose SHA-256 digest is
// `expected`. 0, the failed verification's result, or TRUST_E_NOSIGNATURE
// when another certificate signed it.
[[nodiscard]] uint32_t builtInSignerDetail(const win32lib::encryption::Signer::CertificateDigest &expected,
                                           LONG updaterVerdict, const win32lib::encryption::Signer &updaterSigner);

// The digest of 64 hex digits (either case); nothing for any other text.
[[nodiscard]] std::optional<win32lib::encryption::Signer::CertificateDigest> parseSignerDigest(std::wstring_view text);

// The rule applied to this program and the updater, opened by the caller so
// that the file checked is the file started. A build with the publisher
// built in (KESTRUNE_UPDATER_SIGNER_SHA256) applies builtInSignerDetail and
// never reads this program's file, which its user may have replaced.
// Otherwise: an installer without a signature of its own (development
// builds) runs any updater, a signed one updaterTrustDetail.
[[nodiscard]] uint32_t checkUpdaterTrust(HANDLE updaterFile, const std::wstring &updaterPath);

} // namespace installer
