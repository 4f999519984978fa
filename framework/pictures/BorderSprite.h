#pragma once

#include "framework/pictures/Sprite.h"
#include "framework/pictures/nineSlice.h"

namespace framework::pictures {

// A stretchable frame: corners keep their size, edges and centre stretch.
class BorderSprite : public Sprite {
public:
    BorderSprite(float width, float height, float x, float y, uint32_t left, uint32_t top, uint32_t right,
                 uint32_t bottom, uint32_t leftWidth, uint32_t rightWidth, uint32_t topHeight, uint32_t bottomHeight);

    HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap) override;

    uint32_t leftWidth;
    uint32_t rightWidth;
    uint32_t topHeight;
    uint32_t bottomHeight;

protected:
    BorderSprite(controls::ItemKind kind, float width, float height, float x, float y, uint32_t left, uint32_t top,
                 uint32_t right, uint32_t bottom, uint32_t leftWidth, uint32_t rightWidth, uint32_t topHeight,
                 uint32_t bottomHeight);
};

// Draws `source` of `bitmap` as a nine-slice into `destination` (DIPs). The
// window frame uses this directly.
HRESULT drawNineSlice(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap, const RectF &source,
                      const RectF &destination, const BorderWidths &borders);

} // namespace framework::pictures
