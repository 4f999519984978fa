#pragma once

// Whether the updater found in the package may run as administrator.

#include "win32lib/encryption/authenticode.h"

#include <windows.h>

#include <cstdint>
#include <string>

namespace installer {

// The rule for a signed installer, from the two verifications: it runs only
// an updater with a valid signature of its own signer. 0 when the updater may
// run, else the detail of 20060: the failed verification's result, or
// TRUST_E_NOSIGNATURE when the updater is signed by someone else.
[[nodiscard]] uint32_t updaterTrustDetail(LONG installerVerdict, const win32lib::encryption::Signer &installerSigner,
                                          LONG updaterVerdict, const win32lib::encryption::Signer &updaterSigner);

// The rule applied to this program and the updater, opened by the caller so
// that the file checked is the file started. An installer without a
// signature of its own (development builds) runs any updater.
[[nodiscard]] uint32_t checkUpdaterTrust(HANDLE updaterFile, const std::wstring &updaterPath);

} // namespace installer
