#pragma once

#include <cstdint>

// The install error ids produced by the manifest and download steps.
namespace package::errors {

enum : uint16_t {
    kNone = 0,
    kDiskFull = 20004,
    kWriteFailed = 20005,
    kCreateFileFailed = 20006,
    kRequestFailed = 20011,
    kLengthMismatch = 20012,
    kServerError = 20020,
    kBadManifest = 20021,
    kServerUnreachable = 20022,
    kInstallerOutdated = 20023,
    kServerBusy = 20024,
    kUndecodableBody = 20025,
    kCancelled = 20100,
};

// HTTP status of a manifest or package answer that arrived completely.
[[nodiscard]] constexpr uint16_t fromHttpStatus(int32_t status) noexcept
{
    switch (status) {
    case 200:
        return kNone;
    case 465:
        return kInstallerOutdated;
    case 503:
        return kServerBusy;
    default:
        return kServerError;
    }
}

} // namespace package::errors
