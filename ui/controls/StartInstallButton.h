#pragma once

#include "framework/pictures/Sprite.h"
#include "ui/controls/TextButton.h"

#include <memory>

namespace ui::controls {

// START INSTALL with the elevation shield left of its caption.
class StartInstallButton : public ui::controls::TextButtonRed {
public:
    StartInstallButton(const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y);

    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    [[nodiscard]] const framework::pictures::Sprite &shield() const noexcept { return *shield_; }

private:
    std::unique_ptr<framework::pictures::Sprite> shield_;
};

} // namespace ui::controls
