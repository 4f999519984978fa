#pragma once

#include <minizip/unzip.h>

#include <cstddef>

namespace package {

// minizip parses every header through its file functions a few bytes at a
// time (about a hundred reads per entry). These functions put a read cache
// between minizip and `underlying` (the Win32 wide-path functions): small
// reads are served from one 64 KiB block, reads of a whole block or more go
// straight through. `underlying` must outlive every stream opened with the
// result.
[[nodiscard]] zlib_filefunc64_def cachedFileFunctions(zlib_filefunc64_def *underlying) noexcept;

constexpr std::size_t kZipReadCacheSize = 64 * 1024;

} // namespace package
