#include "ui/controls/elements.h"

#include "ui/controls/TextButton.h"

namespace ui::controls {

std::unique_ptr<framework::text::Label> label(const std::wstring &text, const framework::text::FontDescription &font,
                                              IDWriteFactory *factory, float size, uint32_t colour, float x, float y,
                                              bool underline)
{
    const framework::text::TextStyle style{size, colour, underline, false};
    return std::make_unique<framework::text::Label>(text.c_str(), font, style, factory, x, y);
}

std::unique_ptr<framework::pictures::Sprite> sprite(float x, float y, float width, float height, uint32_t left,
                                                    uint32_t top)
{
    return std::make_unique<framework::pictures::Sprite>(
        width, height, x, y, left, top, left + static_cast<uint32_t>(width), top + static_cast<uint32_t>(height));
}

std::unique_ptr<framework::buttons::BorderSpriteButton> frameButton(float width, float height, float x, float y,
                                                                    const FrameCells &cells)
{
    return std::make_unique<framework::buttons::BorderSpriteButton>(
        width, height, x, y,
        framework::buttons::SpriteFrames{cells.normalX, cells.normalY, cells.hoverX, cells.hoverY, cells.pressedX,
                                         cells.pressedY, cells.cellWidth, cells.cellHeight},
        cells.leftWidth, cells.rightWidth, cells.topHeight, cells.bottomHeight);
}

} // namespace ui::controls
