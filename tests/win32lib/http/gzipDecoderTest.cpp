#include "win32lib/http/GzipDecoder.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>
#include <vector>

using win32lib::http::GzipDecoder;

namespace {

enum class Wrapper { Gzip, Zlib };

std::vector<uint8_t> compress(const std::vector<uint8_t> &data, Wrapper wrapper)
{
    z_stream stream{};
    const int windowBits = wrapper == Wrapper::Gzip ? 15 + 16 : 15;
    EXPECT_EQ(deflateInit2(&stream, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY), Z_OK);
    std::vector<uint8_t> out(deflateBound(&stream, static_cast<uLong>(data.size())));
    stream.next_in = const_cast<Bytef *>(data.data());
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = out.data();
    stream.avail_out = static_cast<uInt>(out.size());
    EXPECT_EQ(deflate(&stream, Z_FINISH), Z_STREAM_END);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// Varied, poorly compressible bytes so that the compressed stream is long.
std::vector<uint8_t> sample(size_t size)
{
    std::vector<uint8_t> data(size);
    uint32_t state = 12345;
    for (auto &byte : data) {
        state = state * 1103515245u + 12345u;
        byte = static_cast<uint8_t>(state >> 16);
    }
    return data;
}

} // namespace

TEST(GzipDecompress, DecodesAGzipBodyAndAppendsIt)
{
    const auto original = sample(100000);
    const auto packed = compress(original, Wrapper::Gzip);
    std::vector<uint8_t> output = {'x', 'y'};
    ASSERT_TRUE(GzipDecoder::decode(packed.data(), packed.size(), output));
    ASSERT_EQ(output.size(), original.size() + 2);
    EXPECT_EQ(std::vector<uint8_t>(output.begin() + 2, output.end()), original);
}

TEST(GzipDecompress, ExactlyOneOutputBlockStillEndsProperly)
{
    const auto original = sample(8192);
    const auto packed = compress(original, Wrapper::Gzip);
    std::vector<uint8_t> output;
    EXPECT_TRUE(GzipDecoder::decode(packed.data(), packed.size(), output));
    EXPECT_EQ(output, original);
}

TEST(GzipDecompress, EmptyBodyStreamDecodesToNothing)
{
    const auto packed = compress({}, Wrapper::Gzip);
    std::vector<uint8_t> output;
    EXPECT_TRUE(GzipDecoder::decode(packed.data(), packed.size(), output));
    EXPECT_TRUE(output.empty());
}

TEST(GzipDecompress, CutShortStreamFailsButKeepsWhatWasDecoded)
{
    const auto original = sample(100000);
    auto packed = compress(original, Wrapper::Gzip);
    packed.resize(packed.size() / 2);
    std::vector<uint8_t> output;
    EXPECT_FALSE(GzipDecoder::decode(packed.data(), packed.size(), output));
    EXPECT_GT(output.size(), 0u);
    EXPECT_LT(output.size(), original.size());
    EXPECT_TRUE(std::equal(output.begin(), output.end(), original.begin()));
}

TEST(GzipDecompress, StreamMissingOnlyItsTrailerFails)
{
    const auto original = sample(1000);
    auto packed = compress(original, Wrapper::Gzip);
    packed.resize(packed.size() - 8);
    std::vector<uint8_t> output;
    EXPECT_FALSE(GzipDecoder::decode(packed.data(), packed.size(), output));
}

TEST(GzipDecompress, BytesAfterTheFirstMemberAreIgnored)
{
    const auto original = sample(5000);
    auto packed = compress(original, Wrapper::Gzip);
    const auto second = compress(sample(77), Wrapper::Gzip);
    packed.insert(packed.end(), second.begin(), second.end());
    const std::string garbage = "not gzip at all";
    packed.insert(packed.end(), garbage.begin(), garbage.end());
    std::vector<uint8_t> output;
    EXPECT_TRUE(GzipDecoder::decode(packed.data(), packed.size(), output));
    EXPECT_EQ(output, original);
}

TEST(GzipDecompress, ZlibWrappedStreamIsDecodedToo)
{
    const auto original = sample(30000);
    const auto packed = compress(original, Wrapper::Zlib);
    std::vector<uint8_t> output;
    EXPECT_TRUE(GzipDecoder::decode(packed.data(), packed.size(), output));
    EXPECT_EQ(output, original);
}

TEST(GzipDecompress, CorruptStreamFails)
{
    auto packed = compress(sample(30000), Wrapper::Gzip);
    packed[packed.size() / 2] ^= 0xFF;
    packed[packed.size() / 2 + 1] ^= 0x55;
    std::vector<uint8_t> output;
    EXPECT_FALSE(GzipDecoder::decode(packed.data(), packed.size(), output));
}

TEST(GzipDecompress, TextThatIsNoStreamFails)
{
    const std::string text = "<updates></updates>";
    std::vector<uint8_t> output;
    EXPECT_FALSE(GzipDecoder::decode(reinterpret_cast<const uint8_t *>(text.data()), text.size(), output));
    EXPECT_TRUE(output.empty());
}

TEST(GzipDecompress, OutputBeyondTheCapFailsLikeACorruptStream)
{
    for (const size_t extra : {size_t{0}, size_t{1}, size_t{100} << 20}) {
        SCOPED_TRACE(extra);
        const auto packed = compress(std::vector<uint8_t>(GzipDecoder::kMaxDecodedBytes + extra), Wrapper::Gzip);
        std::vector<uint8_t> output = {'x'};
        EXPECT_EQ(GzipDecoder::decode(packed.data(), packed.size(), output), extra == 0);
        EXPECT_LE(output.size(), GzipDecoder::kMaxDecodedBytes + 1);
    }
}
