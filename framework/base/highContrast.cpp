#include "framework/base/highContrast.h"

namespace framework::base {

namespace {

std::optional<bool> highContrastForTests;

} // namespace

bool highContrastOn() noexcept
{
    if (highContrastForTests) {
        return *highContrastForTests;
    }
    HIGHCONTRASTW settings = {};
    settings.cbSize = sizeof(settings);
    return ::SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof(settings), &settings, 0) != FALSE &&
           (settings.dwFlags & HCF_HIGHCONTRASTON) != 0;
}

void setHighContrastForTests(std::optional<bool> on) noexcept
{
    highContrastForTests = on;
}

D2D1_COLOR_F toColour(COLORREF colour) noexcept
{
    return D2D1::ColorF(static_cast<float>(GetRValue(colour)) / 255.0f, static_cast<float>(GetGValue(colour)) / 255.0f,
                        static_cast<float>(GetBValue(colour)) / 255.0f, 1.0f);
}

SystemColours systemColours() noexcept
{
    return {toColour(::GetSysColor(COLOR_WINDOW)),    toColour(::GetSysColor(COLOR_WINDOWTEXT)),
            toColour(::GetSysColor(COLOR_HIGHLIGHT)), toColour(::GetSysColor(COLOR_HIGHLIGHTTEXT)),
            toColour(::GetSysColor(COLOR_HOTLIGHT)),  toColour(::GetSysColor(COLOR_GRAYTEXT)),
            toColour(::GetSysColor(COLOR_BTNFACE)),   toColour(::GetSysColor(COLOR_BTNTEXT))};
}

void fillAndOutline(ID2D1RenderTarget *target, ID2D1SolidColorBrush *brush, const D2D1_RECT_F &rect,
                    const D2D1_COLOR_F &fill, const D2D1_COLOR_F &line)
{
    brush->SetColor(fill);
    target->FillRectangle(rect, brush);
    brush->SetColor(line);
    target->DrawRectangle(D2D1::RectF(rect.left + 0.5f, rect.top + 0.5f, rect.right - 0.5f, rect.bottom - 0.5f), brush,
                          1.0f);
}

} // namespace framework::base
