#include "ui/controls/TextButton.h"

#include "framework/base/highContrast.h"

#include "ui/controls/elements.h"
#include "ui/layoutRules.h"

namespace ui::controls {

using framework::controls::MouseEvent;

namespace {

constexpr float kCaptionSize = 14.0f;
constexpr uint32_t kCaptionColour = 0xE5E5E5;
constexpr float kCaptionTop = 6.0f;

constexpr FrameCells kDarkCells{66, 334, 383, 334, 693, 334, 155, 30, 11, 11, 10, 10};
constexpr FrameCells kRedCells{66, 387, 383, 387, 693, 387, 155, 30, 11, 11, 10, 10};

} // namespace

TextButton::TextButton(const std::wstring &caption, const framework::text::FontDescription &font,
                       IDWriteFactory *factory, float x, float y, const FrameCells &cells)
    : Item(framework::controls::kKindComposite, 0, 0, x, y)
{
    interactive = true;
    const float margin = textButtonMargin(caption);
    label_ = label(caption, font, factory, kCaptionSize, kCaptionColour, x + margin, y + kCaptionTop);
    const Size size = textButtonSize(caption, label_->width, label_->height);
    frame_ = frameButton(size.width, size.height, x, y, cells);
    width = size.width;
    height = size.height;
}

void TextButton::mouseEnter()
{
    Item::mouseEnter();
    frame_->mouseEnter();
}

void TextButton::mouseLeave()
{
    Item::mouseLeave();
    frame_->mouseLeave();
}

void TextButton::mouseDown(const MouseEvent &event)
{
    Item::mouseDown(event);
    frame_->mouseDown(event);
}

void TextButton::mouseUp(const MouseEvent &event)
{
    Item::mouseUp(event);
    frame_->mouseUp(event);
}

void TextButton::moveBy(float dx, float dy)
{
    Item::moveBy(dx, dy);
    frame_->moveBy(dx, dy);
    label_->moveBy(dx, dy);
}

HRESULT TextButton::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas)
{
    frame_->draw(renderTarget, atlas);
    label_->draw(renderTarget, brush);
    return S_OK;
}

void TextButton::setX(float newX)
{
    moveBy(newX - x, 0);
}

void TextButton::setY(float newY)
{
    moveBy(0, newY - y);
}

void TextButton::setRight(float right)
{
    setX(right - width);
}

void TextButton::setPosition(float newX, float newY)
{
    moveBy(newX - x, newY - y);
}

void TextButton::setBottomRight(float right, float bottom)
{
    setPosition(right - width, bottom - height);
}

void TextButton::centerOn(const framework::controls::Item &other)
{
    setX(centredX(width, other.x, other.width));
}

TextButtonDark::TextButtonDark(const std::wstring &caption, const framework::text::FontDescription &font,
                               IDWriteFactory *factory, float x, float y)
    : TextButton(caption, font, factory, x, y, kDarkCells)
{
}

TextButtonRed::TextButtonRed(const std::wstring &caption, const framework::text::FontDescription &font,
                             IDWriteFactory *factory, float x, float y)
    : TextButton(caption, font, factory, x, y, kRedCells)
{
}

std::wstring TextButton::accessibleName() const
{
    return label_->text;
}

void TextButton::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                  const framework::base::SystemColours &colours)
{
    framework::base::fillAndOutline(renderTarget, brush, D2D1::RectF(x, y, x + width, y + height), colours.buttonFace,
                                    colours.buttonText);
    label_->drawIn(renderTarget, brush, colours.buttonText);
}

} // namespace ui::controls
