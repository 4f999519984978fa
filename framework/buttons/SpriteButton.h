#pragma once

#include "framework/buttons/SpriteButtonInterface.h"
#include "framework/pictures/BorderSprite.h"
#include "framework/pictures/Sprite.h"

namespace framework::buttons {

// One atlas frame per state; subclasses act on click.
class SpriteButton : public pictures::Sprite, public SpriteButtonInterface {
public:
    SpriteButton(float width, float height, float x, float y, const SpriteFrames &frames);
    HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *atlas) override;
    [[nodiscard]] controls::AccessibleRole accessibleRole() const noexcept override
    {
        return controls::AccessibleRole::kPushButton;
    }
};

// A stretchable frame per state, drawn as a nine-slice with the element's
// border widths.
class BorderSpriteButton : public pictures::BorderSprite, public SpriteButtonInterface {
public:
    BorderSpriteButton(float width, float height, float x, float y, const SpriteFrames &frames, uint32_t leftWidth,
                       uint32_t rightWidth, uint32_t topHeight, uint32_t bottomHeight);
    HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *atlas) override;
};

} // namespace framework::buttons
