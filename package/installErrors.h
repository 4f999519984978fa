#pragma once

#include "package/installErrorIds.h"
#include "package/extraction.h"

#include <cstdint>

// How the manifest, download and extraction steps turn an answer into an
// install error id.
namespace package {

// HTTP status of a manifest or package answer that arrived completely.
[[nodiscard]] constexpr uint16_t fromHttpStatus(int32_t status) noexcept
{
    switch (status) {
    case 200:
        return kInstallOk;
    case 407: // the proxy refused every credentials it was given
        return kErrorProxyAuthentication;
    case 465:
        return kErrorOutdatedInstaller;
    case 503:
        return kErrorServerBusy;
    default:
        return kErrorHttpStatus;
    }
}

// A failed extraction: its extractor code and the thread's last error.
[[nodiscard]] constexpr uint16_t fromExtraction(uint32_t lastError, uint32_t extractorCode) noexcept
{
    constexpr uint32_t kDiskFull = 112; // ERROR_DISK_FULL
    if (lastError == kDiskFull) {
        return kErrorNoFreeSpace;
    }
    if (extractorCode == kExtractCancelled) {
        return kErrorCancelled;
    }
    if (extractorCode == kExtractWriteFile) {
        return kErrorDiskWrite;
    }
    return kErrorArchive;
}

} // namespace package
