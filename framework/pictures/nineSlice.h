#pragma once

#include <array>
#include <cstdint>

namespace framework::pictures {

struct RectF {
    float left, top, right, bottom;
};

struct BorderWidths {
    uint32_t left, right, top, bottom;
};

// The nine parts of a rectangle cut by border widths, in drawing order:
// top-left, top, top-right, left, centre, right, bottom-left, bottom, bottom-right.
[[nodiscard]] std::array<RectF, 9> nineSlice(const RectF &rect, const BorderWidths &borders) noexcept;

// A DIP rectangle in physical pixels, every edge rounded up, so slices that
// share an edge in DIPs share it in pixels too and no gap opens at any scale.
[[nodiscard]] RectF toPixelsRoundedUp(const RectF &dips, float dpiX, float dpiY) noexcept;

} // namespace framework::pictures
