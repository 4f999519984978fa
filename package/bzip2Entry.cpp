#include "package/bzip2Entry.h"

#include <bzlib.h>

#include <array>

namespace package {

namespace {

constexpr unsigned kBlockSize = 8192;

class Bzip2Decoder {
public:
    Bzip2Decoder() noexcept : ready_(BZ2_bzDecompressInit(&stream_, 0, 0) == BZ_OK) {}
    Bzip2Decoder(const Bzip2Decoder &) = delete;
    Bzip2Decoder &operator=(const Bzip2Decoder &) = delete;
    ~Bzip2Decoder()
    {
        if (ready_) {
            BZ2_bzDecompressEnd(&stream_);
        }
    }

    [[nodiscard]] bool ready() const noexcept { return ready_; }

    // Decodes what `input` holds, or with no input what the decoder still
    // has; BZ_OK means it wants more input.
    int decode(char *input, unsigned length) noexcept
    {
        stream_.next_in = input;
        stream_.avail_in = length;
        for (;;) {
            const unsigned unread = stream_.avail_in;
            stream_.next_out = output_.data();
            stream_.avail_out = kBlockSize;
            const int result = BZ2_bzDecompress(&stream_);
            const bool progressed = stream_.avail_out < kBlockSize || stream_.avail_in < unread;
            if (result != BZ_OK || !progressed) {
                return result;
            }
        }
    }

private:
    bz_stream stream_ = {};
    bool ready_;
    std::array<char, kBlockSize> output_ = {};
};

} // namespace

int checkBzip2StreamEnds(unzFile archive)
{
    int method = 0;
    int level = 0;
    int status = unzOpenCurrentFile2(archive, &method, &level, 1);
    if (status != UNZ_OK) {
        return status;
    }
    Bzip2Decoder decoder;
    std::array<char, kBlockSize> input = {};
    int result = decoder.ready() ? BZ_OK : BZ_MEM_ERROR;
    while (result == BZ_OK) {
        // Raw reads stop where the entry's compressed size says it ends.
        const int count = unzReadCurrentFile(archive, input.data(), kBlockSize);
        if (count < 0) {
            status = count;
            break;
        }
        result = decoder.decode(input.data(), static_cast<unsigned>(count));
        if (count == 0) {
            break;
        }
    }
    // A raw entry has no CRC to check; closing only ends the read.
    (void)unzCloseCurrentFile(archive);
    if (status != UNZ_OK) {
        return status;
    }
    return result == BZ_STREAM_END ? UNZ_OK : UNZ_BADZIPFILE;
}

} // namespace package
