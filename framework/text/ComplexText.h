#pragma once

#include "framework/text/Text.h"

#include <vector>

namespace framework::text {

// A part of a ComplexText with its own look and, optionally, a click action.
struct TextRange {
    uint32_t start = 0; // UTF-16 units
    uint32_t length = 0;
    TextStyle normal;
    TextStyle hover;
    void (*onClick)(HWND window) = nullptr;
};

// Text with clickable ranges that change look and show the hand cursor
// while hovered.
class ComplexText : public Text {
public:
    // Throws E_UNEXPECTED when the hand cursor cannot be loaded.
    ComplexText(HWND window, const wchar_t *text, const framework::text::FontDescription &font,
                const ParagraphSettings &paragraph, const TextStyle &style, IDWriteFactory *factory, float x, float y,
                float maxWidth, float maxHeight);

    void mouseLeave() override;
    void click() override;
    // Only a text with a link can be used; the keyboard follows its first link.
    [[nodiscard]] bool actionable() const noexcept override;
    void activate() override;
    // A text with a link reads as a link to its whole text.
    [[nodiscard]] controls::AccessibleRole accessibleRole() const noexcept override;
    // The text in window text, its links in the link colour.
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const base::SystemColours &colours) override;
    void mouseMove(const controls::MouseEvent &event) override;
    HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush) override;
    // Discards every range.
    HRESULT setText(const wchar_t *newText) override;

    // The range under a text position, or -1: start <= position <= start + length.
    [[nodiscard]] int rangeAt(uint32_t textPosition) const noexcept;
    // Applies one look over a range of the layout.
    void applyLook(const TextRange &range, const TextStyle &look);

    HCURSOR previousCursor = nullptr;
    HCURSOR handCursor = nullptr;
    HWND window;
    std::vector<TextRange> ranges;
    int hoveredRange = -1;

private:
    void leaveRange();
};

} // namespace framework::text
