#include "framework/pictures/BorderSprite.h"

#include <d2d1.h>

namespace framework::pictures {

BorderSprite::BorderSprite(float width, float height, float x, float y, uint32_t left, uint32_t top, uint32_t right,
                           uint32_t bottom, uint32_t leftWidth, uint32_t rightWidth, uint32_t topHeight,
                           uint32_t bottomHeight)
    : BorderSprite(controls::kKindBorderSprite, width, height, x, y, left, top, right, bottom, leftWidth, rightWidth,
                   topHeight, bottomHeight)
{
}

BorderSprite::BorderSprite(controls::ItemKind kind, float width, float height, float x, float y, uint32_t left,
                           uint32_t top, uint32_t right, uint32_t bottom, uint32_t leftWidth, uint32_t rightWidth,
                           uint32_t topHeight, uint32_t bottomHeight)
    : Sprite(kind, width, height, x, y, left, top, right, bottom), leftWidth(leftWidth), rightWidth(rightWidth),
      topHeight(topHeight), bottomHeight(bottomHeight)
{
}

HRESULT BorderSprite::draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap)
{
    const RectF source{static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                       static_cast<float>(bottom)};
    return drawNineSlice(renderTarget, bitmap, source, RectF{x, y, x + width, y + height},
                         BorderWidths{leftWidth, rightWidth, topHeight, bottomHeight});
}

HRESULT drawNineSlice(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap, const RectF &source,
                      const RectF &destination, const BorderWidths &borders)
{
    if (renderTarget == nullptr || bitmap == nullptr) {
        return S_OK;
    }
    const auto sources = nineSlice(source, borders);
    const auto destinations = nineSlice(destination, borders);
    float dpiX = 96.0f;
    float dpiY = 96.0f;
    renderTarget->GetDpi(&dpiX, &dpiY);
    // At 96 DPI the target's coordinates are physical pixels.
    renderTarget->SetDpi(96.0f, 96.0f);
    for (size_t i = 0; i < sources.size(); ++i) {
        const RectF pixels = toPixelsRoundedUp(destinations[i], dpiX, dpiY);
        if (pixels.right <= pixels.left || pixels.bottom <= pixels.top) {
            continue;
        }
        const RectF &s = sources[i];
        renderTarget->DrawBitmap(bitmap, D2D1::RectF(pixels.left, pixels.top, pixels.right, pixels.bottom), 1.0f,
                                 D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, D2D1::RectF(s.left, s.top, s.right, s.bottom));
    }
    renderTarget->SetDpi(dpiX, dpiY);
    return S_OK;
}

} // namespace framework::pictures
