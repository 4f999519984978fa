#include "framework/pictures/nineSlice.h"

#include <cmath>

namespace framework::pictures {

std::array<RectF, 9> nineSlice(const RectF &r, const BorderWidths &b) noexcept
{
    const float innerLeft = r.left + static_cast<float>(b.left);
    const float innerRight = r.right - static_cast<float>(b.right);
    const float innerTop = r.top + static_cast<float>(b.top);
    const float innerBottom = r.bottom - static_cast<float>(b.bottom);
    return {{
        {r.left, r.top, innerLeft, innerTop},
        {innerLeft, r.top, innerRight, innerTop},
        {innerRight, r.top, r.right, innerTop},
        {r.left, innerTop, innerLeft, innerBottom},
        {innerLeft, innerTop, innerRight, innerBottom},
        {innerRight, innerTop, r.right, innerBottom},
        {r.left, innerBottom, innerLeft, r.bottom},
        {innerLeft, innerBottom, innerRight, r.bottom},
        {innerRight, innerBottom, r.right, r.bottom},
    }};
}

RectF toPixelsRoundedUp(const RectF &dips, float dpiX, float dpiY) noexcept
{
    // Computed in double: 21 x 144 / 96 must give exactly 31.5, not 31.500002.
    const auto up = [](float value, float dpi) {
        return static_cast<float>(std::ceil(static_cast<double>(value) * dpi / 96.0));
    };
    return {up(dips.left, dpiX), up(dips.top, dpiY), up(dips.right, dpiX), up(dips.bottom, dpiY)};
}

} // namespace framework::pictures
