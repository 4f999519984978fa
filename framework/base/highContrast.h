#pragma once

#include <d2d1.h>
#include <windows.h>

#include <optional>

namespace framework::base {

// The system colours a high-contrast window draws with.
struct SystemColours {
    D2D1_COLOR_F window;
    D2D1_COLOR_F windowText;
    D2D1_COLOR_F highlight;
    D2D1_COLOR_F highlightText;
    D2D1_COLOR_F hotLight;
    D2D1_COLOR_F grayText;
    D2D1_COLOR_F buttonFace;
    D2D1_COLOR_F buttonText;
};

// Whether Windows asks for high contrast (SPI_GETHIGHCONTRAST).
[[nodiscard]] bool highContrastOn() noexcept;
// Wine cannot turn high contrast on (SPI_SETHIGHCONTRAST fails there), so
// tests make this process see it on; nullopt asks Windows again.
void setHighContrastForTests(std::optional<bool> on) noexcept;
[[nodiscard]] SystemColours systemColours() noexcept;
[[nodiscard]] D2D1_COLOR_F toColour(COLORREF colour) noexcept;

// A rectangle filled with one colour and outlined (1 DIP, inside) with another.
void fillAndOutline(ID2D1RenderTarget *target, ID2D1SolidColorBrush *brush, const D2D1_RECT_F &rect,
                    const D2D1_COLOR_F &fill, const D2D1_COLOR_F &line);

} // namespace framework::base
