#pragma once

#include "win32lib/encryption/sha256Text.h"

#include <cstdint>

namespace package {

// Filled by the manifest step, read by the free-space check, the download
// and the registration. Zero-initialised by the engine.
struct UpdateInfo {
    wchar_t downloadUrl[200] = {};
    wchar_t lastVersion[15] = {};
    // Carried in 64 bits: "4GB" must mean 4 GiB, not wrap to 0.
    uint64_t minSize = 0;
    uint32_t errorCode = 0;
    uint32_t sslErrors = 0;
    // The chosen package's SHA-256 when the manifest names one; the download
    // is refused when the bytes differ.
    win32lib::encryption::Sha256Digest packageSha256 = {};
    bool hasPackageSha256 = false;
};

} // namespace package
