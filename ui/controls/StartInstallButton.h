#pragma once

#include "framework/pictures/Sprite.h"
#include "ui/controls/TextButton.h"

#include <memory>

namespace application::unique::controls::installer {

// START INSTALL with the elevation shield left of its caption.
class StartInstallButton : public application::controls::buttons::TextButtonRed {
public:
    StartInstallButton(const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y);

    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    [[nodiscard]] const framework::controls::pictures::Sprite &shield() const noexcept { return *shield_; }

private:
    std::unique_ptr<framework::controls::pictures::Sprite> shield_;
};

} // namespace application::unique::controls::installer
