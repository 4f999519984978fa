#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace win32lib::http {

class GzipDecoder {
public:
    // A few kilobytes of gzip can decode to gigabytes; a body decoded in memory
    // never grows beyond this.
    static constexpr size_t kMaxDecodedBytes = 4 * 1024 * 1024;

    // Decodes one gzip (or zlib) stream given whole and appends the decoded bytes
    // to `output`. True exactly when the stream ended properly; bytes decoded
    // before a failure stay appended. A stream that decodes to more than
    // kMaxDecodedBytes fails like a corrupt one, with no more than that appended.
    // Bytes after the end of the stream are ignored.
    [[nodiscard]] static bool decode(const uint8_t *input, size_t inputLength, std::vector<uint8_t> &output);
};

} // namespace win32lib::http
