#pragma once

#include "framework/buttons/SpriteButton.h"

namespace framework::buttons {

inline constexpr framework::buttons::SpriteFrames kMinimizeFrames{109, 153, 436, 153, 721, 153, 26, 20};
inline constexpr framework::buttons::SpriteFrames kCloseFrames{163, 153, 490, 153, 775, 153, 27, 20};

// Minimises without any question.
class SystemButtonMinimize : public framework::buttons::SpriteButton {
public:
    SystemButtonMinimize(HWND window, float x, float y);
    void click() override;
    [[nodiscard]] std::wstring accessibleName() const override { return L"Minimize"; }
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const base::SystemColours &colours) override;

    HWND window;
};

// Goes through WM_CLOSE, so the window's own close() decides.
class SystemButtonClose : public framework::buttons::SpriteButton {
public:
    SystemButtonClose(HWND window, float x, float y);
    void click() override;
    [[nodiscard]] std::wstring accessibleName() const override { return L"Close"; }
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const base::SystemColours &colours) override;

    HWND window;
};

} // namespace framework::buttons
