#pragma once

#include "framework/buttons/SpriteButton.h"
#include "framework/controls/Item.h"
#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"

#include <dwrite.h>

#include <cstdint>
#include <memory>
#include <string>

namespace ui::controls {

// Atlas cells of a stretchable button frame.
struct FrameCells {
    uint32_t normalX, normalY;
    uint32_t hoverX, hoverY;
    uint32_t pressedX, pressedY;
    uint32_t cellWidth, cellHeight;
    uint32_t leftWidth, rightWidth, topHeight, bottomHeight;
};

// A caption on a stretchable frame; the frame is as large as the caption and
// its margins need. Subclasses put the action into click().
class TextButton : public framework::controls::Item {
public:
    TextButton(const std::wstring &caption, const framework::text::FontDescription &font, IDWriteFactory *factory,
               float x, float y, const FrameCells &cells);

    void mouseEnter() override;
    void mouseLeave() override;
    void mouseDown(const framework::controls::MouseEvent &event) override;
    void mouseUp(const framework::controls::MouseEvent &event) override;
    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    virtual void setX(float newX);
    virtual void setY(float newY);
    virtual void setRight(float right);
    virtual void setPosition(float newX, float newY);
    virtual void setBottomRight(float right, float bottom);
    virtual void centerOn(const framework::controls::Item &other);

    [[nodiscard]] const framework::text::Label &captionLabel() const noexcept { return *label_; }
    [[nodiscard]] framework::controls::AccessibleRole accessibleRole() const noexcept override
    {
        return framework::controls::AccessibleRole::kPushButton;
    }
    [[nodiscard]] std::wstring accessibleName() const override;
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const framework::base::SystemColours &colours) override;

protected:
    std::unique_ptr<framework::buttons::BorderSpriteButton> frame_;
    std::unique_ptr<framework::text::Label> label_;
};

class TextButtonDark : public TextButton {
public:
    TextButtonDark(const std::wstring &caption, const framework::text::FontDescription &font, IDWriteFactory *factory,
                   float x, float y);
};

class TextButtonRed : public TextButton {
public:
    TextButtonRed(const std::wstring &caption, const framework::text::FontDescription &font, IDWriteFactory *factory,
                  float x, float y);
};

} // namespace ui::controls
