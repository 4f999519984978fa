#pragma once

#include <minizip/unzip.h>

namespace package {

inline constexpr uLong kBzip2Method = 12;

// minizip's own bzip2 decoding spins for ever when an entry's compressed
// bytes end before its bzip2 stream does: it keeps asking the decoder for
// output that no input is left to make. So the current entry is first read
// raw and decoded into nothing here, where running out of input ends the
// loop. UNZ_OK when the stream ends within the entry; a minizip read error or
// UNZ_BADZIPFILE otherwise. The entry is closed again either way.
[[nodiscard]] int checkBzip2StreamEnds(unzFile archive);

} // namespace package
