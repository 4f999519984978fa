#pragma once

#include "package/UpdateInfo.h"

#include <cstdint>

namespace package {

// Fetches and validates the update manifest. Returns an install error id
// (0, 20011, 20020, 20021, 20022, 20023, 20024).
[[nodiscard]] uint16_t fetchUpdateInfo(UpdateInfo &info);

} // namespace package
