#include "ui/controls/StartInstallButton.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "ui/controls/elements.h"
#include "ui/controls/windowsVersion.h"

namespace ui::controls {

StartInstallButton::StartInstallButton(const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
                                       float y)
    : TextButtonRed(app::loadString(app::ids::kStartInstall), font, factory, x, y)
{
    const ui::AtlasPicture icon = ui::startInstallShield(ui::controls::windowsVersion());
    shield_ = sprite(x + 12, y + 8, icon.width, icon.height, static_cast<uint32_t>(icon.left),
                     static_cast<uint32_t>(icon.top));
    // Room for the icon left of the caption.
    const float grow = icon.width - 5.0f;
    width += grow;
    frame_->width += grow;
    label_->moveBy(icon.width - 2.0f, 0);
}

void StartInstallButton::moveBy(float dx, float dy)
{
    TextButtonRed::moveBy(dx, dy);
    shield_->moveBy(dx, dy);
}

HRESULT StartInstallButton::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                          ID2D1Bitmap *atlas)
{
    TextButtonRed::drawComposite(renderTarget, brush, atlas);
    shield_->draw(renderTarget, atlas);
    return S_OK;
}

} // namespace ui::controls
