#include "package/zipReadCache.h"

#include "tests/support/process.h"

#include <gtest/gtest.h>
#include <minizip/iowin32.h>

#include <windows.h>

#include <random>

namespace {

// Reads through the cache must return what the file holds, wherever they
// start and however long they are, and tell/seek must agree with them.
TEST(ZipReadCache, ReadsAndSeeksMatchTheFile)
{
    testsupport::TempFolder folder;
    std::string content(3 * package::kZipReadCacheSize + 1234, '\0');
    std::mt19937 random(7);
    for (char &byte : content) {
        byte = static_cast<char>(random() & 0xFF);
    }
    const std::wstring path = folder.file(L"data.bin");
    ASSERT_TRUE(testsupport::writeFile(path, content));

    zlib_filefunc64_def win32 = {};
    fill_win32_filefunc64W(&win32);
    zlib_filefunc64_def cached = package::cachedFileFunctions(&win32);
    voidpf stream =
        cached.zopen64_file(cached.opaque, path.c_str(), ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING);
    ASSERT_NE(stream, nullptr);

    ASSERT_EQ(cached.zseek64_file(cached.opaque, stream, 0, ZLIB_FILEFUNC_SEEK_END), 0);
    EXPECT_EQ(cached.ztell64_file(cached.opaque, stream), content.size());

    std::vector<char> buffer(2 * package::kZipReadCacheSize + 10);
    const uLong sizes[] = {1,
                           2,
                           4,
                           46,
                           4096,
                           16384,
                           static_cast<uLong>(package::kZipReadCacheSize),
                           static_cast<uLong>(package::kZipReadCacheSize + 10),
                           70000};
    for (int round = 0; round < 400; ++round) {
        const uint64_t start = random() % content.size();
        const uLong size = sizes[random() % std::size(sizes)];
        ASSERT_EQ(cached.zseek64_file(cached.opaque, stream, start, ZLIB_FILEFUNC_SEEK_SET), 0);
        // Sometimes continue from where the last read stopped, as minizip does.
        const int reads = 1 + static_cast<int>(random() % 3);
        uint64_t position = start;
        for (int read = 0; read < reads; ++read) {
            const uLong got = cached.zread_file(cached.opaque, stream, buffer.data(), size);
            const uint64_t expected = std::min<uint64_t>(size, content.size() - position);
            ASSERT_EQ(got, expected) << "round " << round;
            ASSERT_EQ(std::string(buffer.data(), got), content.substr(position, got)) << "round " << round;
            position += got;
            ASSERT_EQ(cached.ztell64_file(cached.opaque, stream), position);
        }
        ASSERT_EQ(cached.zseek64_file(cached.opaque, stream, 3, ZLIB_FILEFUNC_SEEK_CUR), 0);
        EXPECT_EQ(cached.ztell64_file(cached.opaque, stream), position + 3);
    }
    EXPECT_EQ(cached.zerror_file(cached.opaque, stream), 0);
    EXPECT_EQ(cached.zclose_file(cached.opaque, stream), 0);
}

TEST(ZipReadCache, MissingFileDoesNotOpen)
{
    zlib_filefunc64_def win32 = {};
    fill_win32_filefunc64W(&win32);
    zlib_filefunc64_def cached = package::cachedFileFunctions(&win32);
    ::SetLastError(0);
    EXPECT_EQ(cached.zopen64_file(cached.opaque, L"Z:\\no\\such\\archive.zip",
                                  ZLIB_FILEFUNC_MODE_READ | ZLIB_FILEFUNC_MODE_EXISTING),
              nullptr);
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

} // namespace
