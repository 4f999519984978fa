#include "framework/buttons/SpriteButton.h"

namespace framework::buttons {

SpriteButton::SpriteButton(float width, float height, float x, float y, const SpriteFrames &frames)
    : Sprite(controls::kKindSpriteButton, width, height, x, y, frames.normalX, frames.normalY,
             frames.normalX + frames.frameWidth, frames.normalY + frames.frameHeight),
      SpriteButtonInterface(static_cast<Sprite &>(*this), frames)
{
    interactive = true;
}

HRESULT SpriteButton::draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *atlas)
{
    updateFrame();
    return Sprite::draw(renderTarget, atlas);
}

BorderSpriteButton::BorderSpriteButton(float width, float height, float x, float y, const SpriteFrames &frames,
                                       uint32_t leftWidth, uint32_t rightWidth, uint32_t topHeight,
                                       uint32_t bottomHeight)
    : BorderSprite(controls::kKindBorderSpriteButton, width, height, x, y, frames.normalX, frames.normalY,
                   frames.normalX + frames.frameWidth, frames.normalY + frames.frameHeight, leftWidth, rightWidth,
                   topHeight, bottomHeight),
      SpriteButtonInterface(static_cast<Sprite &>(*this), frames)
{
    interactive = true;
}

HRESULT BorderSpriteButton::draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *atlas)
{
    updateFrame();
    return BorderSprite::draw(renderTarget, atlas);
}

} // namespace framework::buttons
