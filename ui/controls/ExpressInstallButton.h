#pragma once

#include "framework/buttons/SpriteButton.h"
#include "framework/controls/Item.h"
#include "framework/pictures/Sprite.h"
#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"

#include <dwrite.h>

#include <memory>

namespace ui::controls {

// The large button of the start page. Its content sits 2 pixels lower while
// the button is pressed and the pointer is over it.
class ExpressInstallButton : public framework::controls::Item {
public:
    ExpressInstallButton(const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y);

    void mouseEnter() override;
    void mouseLeave() override;
    void mouseDown(const framework::controls::MouseEvent &event) override;
    void mouseUp(const framework::controls::MouseEvent &event) override;
    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    [[nodiscard]] const framework::pictures::Sprite &shield() const noexcept { return *shield_; }
    [[nodiscard]] const framework::text::Label &caption() const noexcept { return *caption_; }
    [[nodiscard]] framework::controls::AccessibleRole accessibleRole() const noexcept override
    {
        return framework::controls::AccessibleRole::kPushButton;
    }
    [[nodiscard]] std::wstring accessibleName() const override;
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const framework::base::SystemColours &colours) override;

private:
    void moveContent(float dy);

    std::unique_ptr<framework::buttons::BorderSpriteButton> frame_;
    std::unique_ptr<framework::pictures::Sprite> shield_;
    std::unique_ptr<framework::pictures::Sprite> arrow_;
    std::unique_ptr<framework::text::Label> caption_;
};

} // namespace ui::controls
