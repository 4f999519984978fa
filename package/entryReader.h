#pragma once

// Reading a file entry's bytes out of the package, with every entry's length
// and CRC checked when it is closed. Portable C++ over minizip, so that it is
// fuzzed on the build machine.

#include <minizip/unzip.h>

#include <array>
#include <bzlib.h>
#include <cstddef>
#include <cstdint>

namespace package {

inline constexpr uLong kBzip2Method = 12;

// minizip's own bzip2 decoding spins for ever when an entry's compressed
// bytes end before its bzip2 stream does: it keeps asking the decoder for
// output that no input is left to make. So a bzip2 entry is read raw and
// decoded here, where running out of input ends the read. Deflated and stored
// entries are minizip's to decode; its CRC check misses an entry whose stream
// ends before its stated length, so the length is checked here for all.
class EntryReader {
public:
    EntryReader() = default;
    EntryReader(const EntryReader &) = delete;
    EntryReader &operator=(const EntryReader &) = delete;
    ~EntryReader();

    // Opens the archive's current entry: UNZ_OK or minizip's error.
    [[nodiscard]] int open(unzFile archive);
    // Up to `size` bytes of the entry, 0 at its end, or an error below 0:
    // minizip's, or UNZ_BADZIPFILE for a bzip2 stream that is damaged, ends
    // early or goes on past the entry's length.
    [[nodiscard]] int read(char *buffer, unsigned size);
    // Ends the entry: UNZ_OK, UNZ_CRCERROR, UNZ_BADZIPFILE when fewer bytes
    // came out than the entry states, or minizip's error.
    [[nodiscard]] int close();

private:
    int readBzip2(char *buffer, unsigned size);
    void endDecoder() noexcept;

    static void *allocate(void *reader, int count, int size) noexcept;
    static void release(void *reader, void *address) noexcept;

    static constexpr unsigned kInputSize = 65536;

    // The decoder's state and block tables (3.6 MB at most), kept from one
    // bzip2 entry for the next: fresh memory costs a page fault per page
    // touched, which was a fifth of the decoding time.
    struct Allocation {
        void *address = nullptr;
        size_t size = 0;
        bool used = false;
    };
    std::array<Allocation, 4> allocations_ = {};

    unzFile archive_ = nullptr;
    uint64_t expectedSize_ = 0;
    uint32_t expectedCrc_ = 0;
    uint64_t produced_ = 0;
    uint32_t crc_ = 0;
    bool bzip2_ = false;
    bool decoding_ = false;
    bool inputEnded_ = false;
    bool streamEnded_ = false;
    bz_stream stream_ = {};
    std::array<char, kInputSize> input_ = {};
};

} // namespace package
