#include "framework/pictures/Sprite.h"

#include <d2d1.h>

namespace framework::pictures {

Sprite::Sprite(float width, float height, float x, float y, uint32_t left, uint32_t top, uint32_t right,
               uint32_t bottom)
    : Sprite(controls::kKindSprite, width, height, x, y, left, top, right, bottom)
{
}

Sprite::Sprite(controls::ItemKind kind, float width, float height, float x, float y, uint32_t left, uint32_t top,
               uint32_t right, uint32_t bottom)
    : controls::Item(kind, width, height, x, y), left(left), top(top), right(right), bottom(bottom)
{
}

HRESULT Sprite::draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap)
{
    if (renderTarget == nullptr || bitmap == nullptr) {
        return S_OK;
    }
    const D2D1_RECT_F destination = D2D1::RectF(x, y, x + width, y + height);
    const D2D1_RECT_F source = D2D1::RectF(static_cast<float>(left), static_cast<float>(top), static_cast<float>(right),
                                           static_cast<float>(bottom));
    renderTarget->DrawBitmap(bitmap, destination, 1.0f, D2D1_BITMAP_INTERPOLATION_MODE_LINEAR, source);
    return S_OK;
}

} // namespace framework::pictures
