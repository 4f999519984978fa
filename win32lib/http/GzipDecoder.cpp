#include "win32lib/http/GzipDecoder.h"

#include <zlib.h>

#include <array>
#include <limits>

namespace win32lib::http {

namespace {

// 15 window bits plus 32: zlib recognises a gzip or a zlib header by itself.
constexpr int kWindowBitsAutoHeader = 15 + 32;
constexpr size_t kOutputBlockSize = 8192;

} // namespace

bool GzipDecoder::decode(const uint8_t *input, size_t inputLength, std::vector<uint8_t> &output)
{
    // zlib counts its input in 32 bits and the whole body is handed over at once.
    if (inputLength > std::numeric_limits<uInt>::max()) {
        return false;
    }
    z_stream stream{};
    if (inflateInit2(&stream, kWindowBitsAutoHeader) != Z_OK) {
        return false;
    }
    stream.next_in = const_cast<Bytef *>(input);
    stream.avail_in = static_cast<uInt>(inputLength);

    std::array<uint8_t, kOutputBlockSize> block;
    size_t decoded = 0;
    bool tooLong = false;
    int result = Z_OK;
    do {
        stream.next_out = block.data();
        stream.avail_out = static_cast<uInt>(block.size());
        result = inflate(&stream, Z_NO_FLUSH);
        if (result == Z_OK || result == Z_STREAM_END) {
            const size_t produced = block.size() - stream.avail_out;
            tooLong = produced > kMaxDecodedBytes - decoded;
            if (tooLong) {
                break;
            }
            output.insert(output.end(), block.begin(), block.begin() + produced);
            decoded += produced;
        }
    } while (stream.avail_out == 0 && result == Z_OK);

    inflateEnd(&stream);
    return result == Z_STREAM_END && !tooLong;
}

} // namespace win32lib::http
