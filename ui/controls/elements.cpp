#include "ui/controls/elements.h"

#include "ui/controls/TextButton.h"

namespace application::controls::elements {

std::unique_ptr<framework::controls::text::Label> label(const std::wstring &text,
                                                        const framework::text::FontDescription &font,
                                                        IDWriteFactory *factory, float size, uint32_t colour, float x,
                                                        float y, bool underline)
{
    const framework::controls::text::TextStyle style{size, colour, underline, false};
    return std::make_unique<framework::controls::text::Label>(text.c_str(), font, style, factory, x, y);
}

std::unique_ptr<framework::controls::pictures::Sprite> sprite(float x, float y, float width, float height,
                                                              uint32_t left, uint32_t top)
{
    return std::make_unique<framework::controls::pictures::Sprite>(
        width, height, x, y, left, top, left + static_cast<uint32_t>(width), top + static_cast<uint32_t>(height));
}

std::unique_ptr<framework::controls::buttons::BorderSpriteButton> frameButton(float width, float height, float x,
                                                                              float y, const buttons::FrameCells &cells)
{
    return std::make_unique<framework::controls::buttons::BorderSpriteButton>(
        width, height, x, y,
        framework::controls::buttons::SpriteFrames{cells.normalX, cells.normalY, cells.hoverX, cells.hoverY,
                                                   cells.pressedX, cells.pressedY, cells.cellWidth, cells.cellHeight},
        cells.leftWidth, cells.rightWidth, cells.topHeight, cells.bottomHeight);
}

} // namespace application::controls::elements
