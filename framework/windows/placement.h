#pragma once

namespace framework::windows {

// Start of a window of `extent` pixels centred on a parent span, kept on a
// screen of `screenExtent` pixels: never before 0, and pushed back to end at
// the screen's edge when it would run past it.
[[nodiscard]] constexpr int centredPosition(int parentStart, int parentExtent, int extent, int screenExtent) noexcept
{
    int position = parentStart + (parentExtent - extent) / 2;
    if (position < 0) {
        position = 0;
    }
    if (position + extent > screenExtent) {
        position = screenExtent - extent;
    }
    return position;
}

// Physical pixels for a DIP length: ceil(DIPs x scale).
[[nodiscard]] unsigned pixelsFor(float dips, float scale) noexcept;

} // namespace framework::windows
