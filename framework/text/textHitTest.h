#pragma once

#include <dwrite.h>

#include <cstdint>

namespace framework::text {

// The text position nearest to a point relative to the layout's origin (the
// point need not lie on a glyph), like IDWriteTextLayout::HitTestPoint.
// Where HitTestPoint is not implemented (Wine answers E_NOTIMPL) the answer
// is worked out from the line and cluster metrics.
[[nodiscard]] HRESULT textPositionAt(IDWriteTextLayout *layout, float x, float y, uint32_t &position);

// The box of the cluster holding a text position, relative to the layout's
// origin, like IDWriteTextLayout::HitTestTextPosition, with the same fallback.
struct TextBox {
    float left, top, width, height;
};
[[nodiscard]] HRESULT textPositionBox(IDWriteTextLayout *layout, uint32_t position, TextBox &box);

} // namespace framework::text
