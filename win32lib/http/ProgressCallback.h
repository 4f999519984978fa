#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace win32lib::http {

// (expected total, done so far) -> true to cancel. The total is -1 when the
// server sent no Content-Length. Counted in 64 bits so that bodies and
// archives of 2 GiB and more are neither truncated nor misreported.
using ProgressCallback = std::function<bool(int64_t total, uint64_t done)>;

// Sees each piece of a body as it is stored, in order, once it is written.
using BodyObserver = std::function<void(const uint8_t *bytes, std::size_t length)>;

} // namespace win32lib::http
