#pragma once

#include "framework/controls/Item.h"
#include "framework/pictures/Sprite.h"
#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"

#include <dwrite.h>

#include <memory>
#include <vector>

namespace ui::controls {

// The fill of the progress bar: cut at the right so that its rounded left
// end always shows.
class ProgressLine : public framework::pictures::Sprite {
public:
    ProgressLine(float x, float y);

    void setFraction(float fraction);
    HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1Bitmap *bitmap) override;

    static constexpr float kFullWidth = 647.0f;
    static constexpr float kCapWidth = 17.0f;
};

class ProgressBar : public framework::controls::Item {
public:
    // Throws E_UNEXPECTED when the space between ticks and marks cannot be
    // measured, or the HRESULT of a label that cannot be built.
    ProgressBar(const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y);

    void setFraction(float newFraction);
    [[nodiscard]] float fraction() const noexcept { return fraction_; }
    [[nodiscard]] const ProgressLine &line() const noexcept { return *fill_; }
    [[nodiscard]] framework::controls::AccessibleRole accessibleRole() const noexcept override
    {
        return framework::controls::AccessibleRole::kProgressBar;
    }
    // "42 %".
    [[nodiscard]] std::wstring accessibleValue() const override;
    // The track outlined, the done part filled in the highlight colour.
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const framework::base::SystemColours &colours) override;

    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

private:
    std::unique_ptr<framework::pictures::Sprite> track_;
    std::unique_ptr<ProgressLine> fill_;
    std::vector<std::unique_ptr<framework::text::Label>> marks_;
    float fraction_ = 0.0f;
};

} // namespace ui::controls
