#pragma once

#include "framework/text/Label.h"

namespace framework::buttons {

// A link-like label: another colour and the hand cursor while hovered.
// Subclasses act on click.
class UrlButton : public text::Label {
public:
    // Throws E_UNEXPECTED when the hand cursor cannot be loaded.
    UrlButton(HWND window, const wchar_t *text, const framework::text::FontDescription &font,
              const text::TextStyle &style, IDWriteFactory *factory, uint32_t hoverColour, float x, float y);

    void mouseEnter() override;
    void mouseLeave() override;
    [[nodiscard]] controls::AccessibleRole accessibleRole() const noexcept override
    {
        return controls::AccessibleRole::kLink;
    }

    HCURSOR previousCursor = nullptr;
    HCURSOR handCursor = nullptr;
    HWND window;
    uint32_t normalColour;
    uint32_t hoverColour;
};

} // namespace framework::buttons
