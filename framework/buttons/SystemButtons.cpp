#include "framework/buttons/SystemButtons.h"

#include "framework/base/highContrast.h"

namespace framework::buttons {

SystemButtonMinimize::SystemButtonMinimize(HWND window, float x, float y)
    : SpriteButton(static_cast<float>(kMinimizeFrames.frameWidth), static_cast<float>(kMinimizeFrames.frameHeight), x,
                   y, kMinimizeFrames),
      window(window)
{
}

void SystemButtonMinimize::click()
{
    ::ShowWindow(window, SW_MINIMIZE);
}

SystemButtonClose::SystemButtonClose(HWND window, float x, float y)
    : SpriteButton(static_cast<float>(kCloseFrames.frameWidth), static_cast<float>(kCloseFrames.frameHeight), x, y,
                   kCloseFrames),
      window(window)
{
}

void SystemButtonClose::click()
{
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

// The pictures' meaning drawn as lines: a bar, a cross.
void SystemButtonMinimize::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                            const base::SystemColours &colours)
{
    base::fillAndOutline(renderTarget, brush, D2D1::RectF(x, y, x + width, y + height), colours.buttonFace,
                         colours.buttonText);
    renderTarget->DrawLine(D2D1::Point2F(x + 8.0f, y + 13.0f), D2D1::Point2F(x + width - 8.0f, y + 13.0f), brush, 1.5f);
}

void SystemButtonClose::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                         const base::SystemColours &colours)
{
    base::fillAndOutline(renderTarget, brush, D2D1::RectF(x, y, x + width, y + height), colours.buttonFace,
                         colours.buttonText);
    const float left = x + width / 2.0f - 5.0f;
    const float top = y + height / 2.0f - 5.0f;
    renderTarget->DrawLine(D2D1::Point2F(left, top), D2D1::Point2F(left + 10.0f, top + 10.0f), brush, 1.5f);
    renderTarget->DrawLine(D2D1::Point2F(left + 10.0f, top), D2D1::Point2F(left, top + 10.0f), brush, 1.5f);
}

} // namespace framework::buttons
