#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Win32Lib::wrappers::http::MyZlib {

// Decodes one gzip (or zlib) stream given whole and appends the decoded bytes
// to `output`. True exactly when the stream ended properly; bytes decoded
// before a failure stay appended. Bytes after the end of the stream are
// ignored.
[[nodiscard]] bool gzipDecompress(const uint8_t *input, size_t inputLength, std::vector<uint8_t> &output);

} // namespace Win32Lib::wrappers::http::MyZlib
