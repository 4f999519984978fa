// The HTTP client's gzip decoding of a whole body, with its size cap.

#include "tests/fuzz/fuzzInput.h"
#include "win32lib/http/GzipDecoder.h"

#include <algorithm>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    using win32lib::http::GzipDecoder;
    std::vector<uint8_t> output;
    const bool decoded = GzipDecoder::decode(data, size, output);
    fuzz::expect(output.size() <= GzipDecoder::kMaxDecodedBytes, "decoded bytes within the cap");
    // Appending to earlier output gives the same bytes after it (checked for
    // small outputs: decoding up to the cap twice would halve the speed).
    if (output.size() > 64 * 1024) {
        return 0;
    }
    std::vector<uint8_t> appended = {0x4B};
    fuzz::expect(GzipDecoder::decode(data, size, appended) == decoded, "same outcome when appending");
    fuzz::expect(appended.size() == output.size() + 1 && std::equal(output.begin(), output.end(), appended.begin() + 1),
                 "same bytes when appending");
    return 0;
}
