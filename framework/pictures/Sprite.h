#pragma once

#include "framework/controls/Item.h"

#include <cstdint>

namespace framework::pictures {

// One rectangle of a bitmap (normally the window's atlas), stretched to the
// element's box.
class Sprite : public controls::Item {
public:
    Sprite(float width, float height, float x, float y, uint32_t left, uint32_t top, uint32_t right, uint32_t bottom);

    virtual HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap);

    uint32_t left;
    uint32_t top;
    uint32_t right;
    uint32_t bottom;

protected:
    Sprite(controls::ItemKind kind, float width, float height, float x, float y, uint32_t left, uint32_t top,
           uint32_t right, uint32_t bottom);
};

} // namespace framework::pictures
