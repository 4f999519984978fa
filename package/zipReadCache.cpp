#include "package/zipReadCache.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace package {

namespace {

// The archive is opened for reading only, so cached bytes never go stale.
struct CachedStream {
    zlib_filefunc64_def *underlying = nullptr;
    voidpf file = nullptr;
    std::unique_ptr<unsigned char[]> cache;
    ZPOS64_T cacheStart = 0;
    ZPOS64_T cacheLength = 0;
    // Where minizip believes it is, and where the underlying file pointer
    // really stands; the file is only repositioned when a read needs it.
    ZPOS64_T position = 0;
    ZPOS64_T filePosition = 0;
};

bool moveFileTo(CachedStream &stream, ZPOS64_T position) noexcept
{
    if (stream.filePosition == position) {
        return true;
    }
    if (stream.underlying->zseek64_file(stream.underlying->opaque, stream.file, position, ZLIB_FILEFUNC_SEEK_SET) !=
        0) {
        return false;
    }
    stream.filePosition = position;
    return true;
}

uLong readUnderlying(CachedStream &stream, void *buffer, uLong size) noexcept
{
    const uLong count = stream.underlying->zread_file(stream.underlying->opaque, stream.file, buffer, size);
    stream.filePosition += count;
    return count;
}

voidpf ZCALLBACK openCached(voidpf opaque, const void *fileName, int mode) noexcept
{
    auto *underlying = static_cast<zlib_filefunc64_def *>(opaque);
    std::unique_ptr<CachedStream> stream(new (std::nothrow) CachedStream);
    if (!stream) {
        return nullptr;
    }
    stream->cache.reset(new (std::nothrow) unsigned char[kZipReadCacheSize]);
    if (!stream->cache) {
        return nullptr;
    }
    stream->underlying = underlying;
    stream->file = underlying->zopen64_file(underlying->opaque, fileName, mode);
    if (stream->file == nullptr) {
        return nullptr;
    }
    // From here minizip owns the stream until it calls closeCached.
    return stream.release();
}

uLong ZCALLBACK readCached(voidpf, voidpf opened, void *buffer, uLong size) noexcept
{
    auto &stream = *static_cast<CachedStream *>(opened);
    auto *out = static_cast<unsigned char *>(buffer);
    uLong done = 0;
    while (done < size) {
        const ZPOS64_T cacheEnd = stream.cacheStart + stream.cacheLength;
        if (stream.position >= stream.cacheStart && stream.position < cacheEnd) {
            const auto available = static_cast<uLong>(cacheEnd - stream.position);
            const uLong count = std::min(available, size - done);
            std::memcpy(out + done, stream.cache.get() + (stream.position - stream.cacheStart), count);
            done += count;
            stream.position += count;
            continue;
        }
        if (!moveFileTo(stream, stream.position)) {
            break;
        }
        const uLong remaining = size - done;
        if (remaining >= kZipReadCacheSize) {
            const uLong count = readUnderlying(stream, out + done, remaining);
            done += count;
            stream.position += count;
            break;
        }
        stream.cacheStart = stream.position;
        stream.cacheLength = readUnderlying(stream, stream.cache.get(), static_cast<uLong>(kZipReadCacheSize));
        if (stream.cacheLength == 0) {
            break;
        }
    }
    return done;
}

uLong ZCALLBACK writeCached(voidpf, voidpf, const void *, uLong) noexcept
{
    return 0;
}

ZPOS64_T ZCALLBACK tellCached(voidpf, voidpf opened) noexcept
{
    return static_cast<CachedStream *>(opened)->position;
}

long ZCALLBACK seekCached(voidpf, voidpf opened, ZPOS64_T offset, int origin) noexcept
{
    auto &stream = *static_cast<CachedStream *>(opened);
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
        stream.position = offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_CUR:
        stream.position += offset;
        return 0;
    case ZLIB_FILEFUNC_SEEK_END: {
        // Only the file knows where its end is.
        zlib_filefunc64_def &underlying = *stream.underlying;
        if (underlying.zseek64_file(underlying.opaque, stream.file, offset, ZLIB_FILEFUNC_SEEK_END) != 0) {
            return -1;
        }
        const ZPOS64_T position = underlying.ztell64_file(underlying.opaque, stream.file);
        if (position == static_cast<ZPOS64_T>(-1)) {
            return -1;
        }
        stream.filePosition = position;
        stream.position = position;
        return 0;
    }
    default:
        return -1;
    }
}

int ZCALLBACK closeCached(voidpf, voidpf opened) noexcept
{
    std::unique_ptr<CachedStream> stream(static_cast<CachedStream *>(opened));
    return stream->underlying->zclose_file(stream->underlying->opaque, stream->file);
}

int ZCALLBACK errorCached(voidpf, voidpf opened) noexcept
{
    const auto &stream = *static_cast<CachedStream *>(opened);
    return stream.underlying->zerror_file(stream.underlying->opaque, stream.file);
}

} // namespace

zlib_filefunc64_def cachedFileFunctions(zlib_filefunc64_def *underlying) noexcept
{
    zlib_filefunc64_def functions = {};
    functions.zopen64_file = openCached;
    functions.zread_file = readCached;
    functions.zwrite_file = writeCached;
    functions.ztell64_file = tellCached;
    functions.zseek64_file = seekCached;
    functions.zclose_file = closeCached;
    functions.zerror_file = errorCached;
    functions.opaque = underlying;
    return functions;
}

} // namespace package
