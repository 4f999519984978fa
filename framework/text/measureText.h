#pragma once

#include "framework/text/FontDescription.h"

#include <dwrite.h>

#include <cstddef>

namespace framework::text {

// Design-metric size of a text in DIPs, before any element exists.
struct TextMetrics {
    float width = 0;       // advance widths of the longest line
    float height = 0;      // line height times the number of lines
    float inkWidth = 0;    // width less the outer side bearings
    float glyphHeight = 0; // largest advance height on the longest line
};

// The longest line (first of equal length wins), measured in UTF-16 units
// including its terminating line feed, and the number of lines.
struct LineScan {
    size_t longestStart = 0;
    size_t longestLength = 0;
    size_t lineCount = 0;
};
[[nodiscard]] LineScan scanLines(const wchar_t *text, size_t length) noexcept;

// With the application's shared DirectWrite factory. False when the text is
// empty or the font description names no installed face of exactly that
// weight, stretch and style.
[[nodiscard]] bool measureText(const wchar_t *text, const framework::text::FontDescription &font, float size,
                               TextMetrics &metrics);
[[nodiscard]] bool measureText(IDWriteFactory *factory, const wchar_t *text,
                               const framework::text::FontDescription &font, float size, TextMetrics &metrics);

} // namespace framework::text
