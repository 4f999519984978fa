#include "ui/controls/ExpressInstallButton.h"

#include "framework/base/highContrast.h"

#include "app/privileges.h"
#include "app/resourceIds.h"
#include "app/strings.h"
#include "ui/controls/TextButton.h"
#include "ui/controls/elements.h"
#include "ui/controls/windowsVersion.h"
#include "ui/layoutRules.h"

#include <cmath>

namespace ui::controls {

using framework::controls::MouseEvent;

namespace {

constexpr float kWidth = 300.0f;
constexpr float kHeight = 61.0f;
constexpr float kPressOffset = 2.0f;
constexpr ui::controls::FrameCells kCells{5, 250, 316, 250, 625, 250, 300, 61, 17, 17, 19, 21};

} // namespace

ExpressInstallButton::ExpressInstallButton(const framework::text::FontDescription &font, IDWriteFactory *factory,
                                           float x, float y)
    : Item(framework::controls::kKindComposite, kWidth, kHeight, x, y)
{
    interactive = true;
    frame_ = frameButton(kWidth, kHeight, x, y, kCells);
    const ui::AtlasPicture icon = ui::expressInstallShield(ui::controls::windowsVersion());
    // Icons of odd height sit one pixel lower so that both pictures centre alike.
    const float iconTop = 15.0f + std::fmod(icon.height, 2.0f);
    shield_ = sprite(x + 23, y + iconTop, icon.width, icon.height, static_cast<uint32_t>(icon.left),
                     static_cast<uint32_t>(icon.top));
    arrow_ = sprite(x + kWidth - 62, y + 12, 39, 34, 204, 206);
    caption_ = label(app::loadString(app::ids::kExpressInstall), font, factory, 26.0f, 0xE5E5E5, x + 67, y + 12);
}

void ExpressInstallButton::moveContent(float dy)
{
    caption_->moveBy(0, dy);
    arrow_->moveBy(0, dy);
    shield_->moveBy(0, dy);
}

void ExpressInstallButton::mouseEnter()
{
    Item::mouseEnter();
    frame_->mouseEnter();
    if (pressed) {
        moveContent(kPressOffset);
    }
}

void ExpressInstallButton::mouseLeave()
{
    Item::mouseLeave();
    frame_->mouseLeave();
    if (pressed) {
        moveContent(-kPressOffset);
    }
}

void ExpressInstallButton::mouseDown(const MouseEvent &event)
{
    Item::mouseDown(event);
    frame_->mouseDown(event);
    moveContent(kPressOffset);
}

void ExpressInstallButton::mouseUp(const MouseEvent &event)
{
    Item::mouseUp(event);
    frame_->mouseUp(event);
    if (contains(event.x, event.y)) {
        moveContent(-kPressOffset);
    }
}

void ExpressInstallButton::moveBy(float dx, float dy)
{
    Item::moveBy(dx, dy);
    frame_->moveBy(dx, dy);
    shield_->moveBy(dx, dy);
    arrow_->moveBy(dx, dy);
    caption_->moveBy(dx, dy);
}

HRESULT ExpressInstallButton::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                            ID2D1Bitmap *atlas)
{
    frame_->draw(renderTarget, atlas);
    shield_->draw(renderTarget, atlas);
    arrow_->draw(renderTarget, atlas);
    caption_->draw(renderTarget, brush);
    return S_OK;
}

std::wstring ExpressInstallButton::accessibleName() const
{
    return caption_->text;
}

void ExpressInstallButton::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                            const framework::base::SystemColours &colours)
{
    framework::base::fillAndOutline(renderTarget, brush, D2D1::RectF(x, y, x + width, y + height), colours.buttonFace,
                                    colours.buttonText);
    caption_->drawIn(renderTarget, brush, colours.buttonText);
}

} // namespace ui::controls
