#include "package/entryReader.h"

#include <zlib.h>

#include <cstdint>
#include <cstdlib>

namespace package {

EntryReader::~EntryReader()
{
    endDecoder();
    for (const Allocation &allocation : allocations_) {
        std::free(allocation.address);
    }
}

void *EntryReader::allocate(void *reader, int count, int size) noexcept
{
    if (count <= 0 || size <= 0 || static_cast<size_t>(count) > SIZE_MAX / static_cast<size_t>(size)) {
        return nullptr;
    }
    const size_t bytes = static_cast<size_t>(count) * static_cast<size_t>(size);
    auto &allocations = static_cast<EntryReader *>(reader)->allocations_;
    for (Allocation &allocation : allocations) {
        if (!allocation.used && allocation.size == bytes) {
            allocation.used = true;
            return allocation.address;
        }
    }
    void *const address = std::malloc(bytes);
    if (address == nullptr) {
        return nullptr;
    }
    for (Allocation &allocation : allocations) {
        if (!allocation.used) {
            std::free(allocation.address);
            allocation = {address, bytes, true};
            return address;
        }
    }
    return address;
}

void EntryReader::release(void *reader, void *address) noexcept
{
    for (Allocation &allocation : static_cast<EntryReader *>(reader)->allocations_) {
        if (allocation.used && allocation.address == address) {
            allocation.used = false;
            return;
        }
    }
    std::free(address);
}

int EntryReader::open(unzFile archive)
{
    endDecoder();
    archive_ = archive;
    produced_ = 0;
    crc_ = 0;
    inputEnded_ = false;
    streamEnded_ = false;
    unz_file_info64 info = {};
    int status = unzGetCurrentFileInfo64(archive, &info, nullptr, 0, nullptr, 0, nullptr, 0);
    if (status != UNZ_OK) {
        return status;
    }
    expectedSize_ = info.uncompressed_size;
    expectedCrc_ = static_cast<uint32_t>(info.crc);
    bzip2_ = info.compression_method == kBzip2Method;
    if (!bzip2_) {
        return unzOpenCurrentFile(archive);
    }
    int method = 0;
    int level = 0;
    status = unzOpenCurrentFile2(archive, &method, &level, 1);
    if (status != UNZ_OK) {
        return status;
    }
    stream_ = {};
    stream_.bzalloc = allocate;
    stream_.bzfree = release;
    stream_.opaque = this;
    if (BZ2_bzDecompressInit(&stream_, 0, 0) != BZ_OK) {
        (void)unzCloseCurrentFile(archive);
        return UNZ_INTERNALERROR;
    }
    decoding_ = true;
    return UNZ_OK;
}

int EntryReader::read(char *buffer, unsigned size)
{
    const int count = bzip2_ ? readBzip2(buffer, size) : unzReadCurrentFile(archive_, buffer, size);
    if (count > 0) {
        produced_ += static_cast<unsigned>(count);
    }
    return count;
}

int EntryReader::readBzip2(char *buffer, unsigned size)
{
    while (!streamEnded_) {
        if (stream_.avail_in == 0 && !inputEnded_) {
            // Raw reads stop where the entry's compressed size says it ends.
            const int count = unzReadCurrentFile(archive_, input_.data(), kInputSize);
            if (count < 0) {
                return count;
            }
            inputEnded_ = count == 0;
            stream_.next_in = input_.data();
            stream_.avail_in = static_cast<unsigned>(count);
        }
        const unsigned unread = stream_.avail_in;
        stream_.next_out = buffer;
        stream_.avail_out = size;
        const int result = BZ2_bzDecompress(&stream_);
        const unsigned made = size - stream_.avail_out;
        if (result == BZ_STREAM_END) {
            streamEnded_ = true;
        } else if (result != BZ_OK) {
            return UNZ_BADZIPFILE;
        }
        if (made > 0) {
            crc_ = static_cast<uint32_t>(crc32(crc_, reinterpret_cast<const Bytef *>(buffer), made));
            // Decoding stops at the stated length: a stream that would make
            // more is not this entry, however much more it makes.
            if (made > expectedSize_ - produced_) {
                return UNZ_BADZIPFILE;
            }
            return static_cast<int>(made);
        }
        if (!streamEnded_ && stream_.avail_in == unread && (inputEnded_ || unread != 0)) {
            return UNZ_BADZIPFILE;
        }
    }
    return 0;
}

int EntryReader::close()
{
    const bool bzip2 = bzip2_;
    const bool streamEnded = streamEnded_;
    endDecoder();
    // For a raw read, closing only ends the read.
    const int status = unzCloseCurrentFile(archive_);
    if (status != UNZ_OK) {
        return status;
    }
    if (produced_ != expectedSize_ || (bzip2 && !streamEnded)) {
        return UNZ_BADZIPFILE;
    }
    if (bzip2 && crc_ != expectedCrc_) {
        return UNZ_CRCERROR;
    }
    return UNZ_OK;
}

void EntryReader::endDecoder() noexcept
{
    if (decoding_) {
        BZ2_bzDecompressEnd(&stream_);
        decoding_ = false;
    }
}

} // namespace package
