#pragma once

#include "installer/installErrors.h"

#include <cstdint>

// How the manifest and download steps turn an answer into an install error id.
namespace package::errors {

// HTTP status of a manifest or package answer that arrived completely.
[[nodiscard]] constexpr uint16_t fromHttpStatus(int32_t status) noexcept
{
    switch (status) {
    case 200:
        return ::installer::kInstallOk;
    case 465:
        return ::installer::kErrorOutdatedInstaller;
    case 503:
        return ::installer::kErrorServerBusy;
    default:
        return ::installer::kErrorHttpStatus;
    }
}

} // namespace package::errors
