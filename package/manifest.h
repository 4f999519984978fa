#pragma once

#include "package/UpdateInfo.h"

#include <cstdint>
#include <string_view>

namespace package {

// Fetches and validates the update manifest. Returns an install error id
// (0, 20011, 20020, 20021, 20022, 20023, 20024).
[[nodiscard]] uint16_t fetchUpdateInfo(UpdateInfo &info);

// The addresses the manifest step talks to; fetchUpdateInfo takes them from
// the protected store.
struct ManifestServer {
    std::wstring_view manifestAddress;
    // The connectivity probe, run after a failed manifest request.
    std::wstring_view probeAddress;
    std::wstring_view probeUserAgent;
    // Telemetry base address for the failed-request report.
    std::wstring_view telemetryAddress;
};

[[nodiscard]] uint16_t fetchUpdateInfoFrom(UpdateInfo &info, const ManifestServer &server);

} // namespace package
