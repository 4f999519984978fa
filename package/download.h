#pragma once

#include "package/UpdateInfo.h"
#include "win32lib/http/ProgressCallback.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace package {

// Downloads info.downloadUrl into packagePath with one retry on transient
// network errors. Returns an install error id (0 on success, 20100 when the
// callback cancelled).
[[nodiscard]] uint16_t downloadPackage(UpdateInfo &info, const std::wstring &packagePath,
                                       const win32lib::http::ProgressCallback &progress);

// The same, reporting failed attempts to the given telemetry base address
// instead of the one in the protected store.
[[nodiscard]] uint16_t downloadPackageReportingTo(UpdateInfo &info, const std::wstring &packagePath,
                                                  const win32lib::http::ProgressCallback &progress,
                                                  std::wstring_view telemetryAddress);

// `length` characters including the terminator, from [0-9A-Za-z], drawn from
// the system's cryptographic generator: another process cannot predict the
// package's name. Empty when the generator fails.
[[nodiscard]] std::wstring makeRandomName(unsigned length);

} // namespace package
