#pragma once

// Helpers of the fuzz targets: the program's wide text from fuzzer bytes,
// and a check whose failure the fuzzer reports like a crash.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace fuzz {

// Bytes read as UTF-16LE code units, one wchar_t each, as Windows would hold
// them (lone surrogates included); an odd last byte is dropped.
inline std::wstring utf16Units(const uint8_t *data, size_t size)
{
    std::wstring text(size / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<wchar_t>(data[2 * i] | data[2 * i + 1] << 8);
    }
    return text;
}

// A property the parser promises; its failure is a finding like a crash.
inline void expect(bool holds, const char *what)
{
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", what);
        std::abort();
    }
}

} // namespace fuzz
