#include "ui/controls/CheckBox.h"

#include "framework/base/highContrast.h"

#include "framework/text/measureText.h"
#include "ui/controls/elements.h"
#include "ui/layoutRules.h"

#include <algorithm>

namespace ui::controls {

namespace {

constexpr float kBoxSize = 13.0f;
constexpr float kLabelGap = 6.0f;
constexpr float kCaptionSize = 14.0f;
constexpr uint32_t kCaptionColour = 0xCCCCCC;

} // namespace

CheckBox::CheckBox(const std::wstring &caption, bool checked, const framework::text::FontDescription &font,
                   IDWriteFactory *factory, float x, float y)
    : Item(framework::controls::kKindComposite, 0, 0, x, y), checked_(checked)
{
    interactive = true;
    box_ = sprite(x, y, kBoxSize, kBoxSize, 139, 433);
    checkMark_ = sprite(x + 2, y + 3, 9, 8, 155, 435);
    const float labelOffset = checkBoxLabelOffset(font.family, font.weight);
    label_ = label(caption, font, factory, kCaptionSize, kCaptionColour, x + kBoxSize + kLabelGap, y - labelOffset);
    width = kBoxSize + kLabelGap + label_->width;
    framework::text::TextMetrics metrics{};
    if (framework::text::measureText(caption.c_str(), font, kCaptionSize, metrics)) {
        height = std::max(kBoxSize, metrics.glyphHeight);
    } else {
        height = std::max(kBoxSize, label_->height);
    }
}

void CheckBox::click()
{
    checked_ = !checked_;
    if (checked_) {
        onChecked();
    } else {
        onUnchecked();
    }
}

void CheckBox::moveBy(float dx, float dy)
{
    Item::moveBy(dx, dy);
    box_->moveBy(dx, dy);
    checkMark_->moveBy(dx, dy);
    label_->moveBy(dx, dy);
}

HRESULT CheckBox::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas)
{
    box_->draw(renderTarget, atlas);
    if (checked_) {
        checkMark_->draw(renderTarget, atlas);
    }
    label_->draw(renderTarget, brush);
    return S_OK;
}

std::wstring CheckBox::accessibleName() const
{
    return label_->text;
}

void CheckBox::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                const framework::base::SystemColours &colours)
{
    framework::base::fillAndOutline(renderTarget, brush, D2D1::RectF(x, y, x + kBoxSize, y + kBoxSize), colours.window,
                                    colours.windowText);
    if (checked_) {
        renderTarget->DrawLine(D2D1::Point2F(x + 3.0f, y + 6.5f), D2D1::Point2F(x + 5.5f, y + 9.5f), brush, 1.5f);
        renderTarget->DrawLine(D2D1::Point2F(x + 5.5f, y + 9.5f), D2D1::Point2F(x + 10.0f, y + 3.5f), brush, 1.5f);
    }
    label_->drawIn(renderTarget, brush, colours.windowText);
}

} // namespace ui::controls
