#pragma once

#include <windows.h>

namespace win32lib {

// Writes all `length` bytes. WriteFile may report success after writing part
// of a block when the volume fills up (Wine does it once before failing with
// ERROR_DISK_FULL): the rest is written again, so that the failure that
// follows is the one the caller reads from GetLastError(). A write that makes
// no progress at all fails with `noProgressError`, which the caller chooses
// because each reports that case in its own terms.
[[nodiscard]] bool writeAll(HANDLE file, const void *bytes, DWORD length, DWORD noProgressError) noexcept;

} // namespace win32lib
