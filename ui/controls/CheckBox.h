#pragma once

#include "framework/controls/Item.h"
#include "framework/pictures/Sprite.h"
#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"

#include <dwrite.h>

#include <memory>
#include <string>

namespace ui::controls {

// A check box with its caption; subclasses decide what the state means.
class CheckBox : public framework::controls::Item {
public:
    CheckBox(const std::wstring &caption, bool checked, const framework::text::FontDescription &font,
             IDWriteFactory *factory, float x, float y);

    void click() override;
    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    virtual void onChecked() = 0;
    virtual void onUnchecked() = 0;

    [[nodiscard]] bool isChecked() const noexcept { return checked_; }
    [[nodiscard]] const framework::text::Label &captionLabel() const noexcept { return *label_; }
    [[nodiscard]] framework::controls::AccessibleRole accessibleRole() const noexcept override
    {
        return framework::controls::AccessibleRole::kCheckButton;
    }
    [[nodiscard]] std::wstring accessibleName() const override;
    [[nodiscard]] std::optional<bool> accessibleChecked() const noexcept override { return checked_; }
    // A box outline with a drawn tick instead of the pictures.
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const framework::base::SystemColours &colours) override;

private:
    std::unique_ptr<framework::pictures::Sprite> box_;
    std::unique_ptr<framework::pictures::Sprite> checkMark_;
    std::unique_ptr<framework::text::Label> label_;
    bool checked_;
};

} // namespace ui::controls
