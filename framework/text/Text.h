#pragma once

#include "framework/controls/Item.h"
#include "framework/text/FontDescription.h"

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <string>

namespace framework::text {

struct TextStyle {
    float size = 14.0f;
    uint32_t colour = 0xFFFFFF; // 0xRRGGBB
    uint8_t underline = 0;
    uint8_t strikethrough = 0;
};

struct ParagraphSettings {
    DWRITE_TEXT_ALIGNMENT textAlignment = DWRITE_TEXT_ALIGNMENT_LEADING;
    DWRITE_PARAGRAPH_ALIGNMENT paragraphAlignment = DWRITE_PARAGRAPH_ALIGNMENT_NEAR;
    DWRITE_WORD_WRAPPING wordWrapping = DWRITE_WORD_WRAPPING_NO_WRAP;
};

// Opaque 0xRRGGBB as a Direct2D colour.
[[nodiscard]] D2D1_COLOR_F toColorF(uint32_t colour) noexcept;

// One DirectWrite layout drawn with the window's shared brush. A constructor
// that fails leaves the failing HRESULT in `creation` and no layout.
class Text : public controls::Item {
public:
    Text(const wchar_t *text, const framework::text::FontDescription &font, const ParagraphSettings &paragraph,
         const TextStyle &style, IDWriteFactory *factory, float x, float y, float maxWidth, float maxHeight);

    virtual HRESULT draw(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush);
    // Keeps font, alignment, wrapping, trimming and the maximum size.
    virtual HRESULT setText(const wchar_t *newText);
    [[nodiscard]] controls::AccessibleRole accessibleRole() const noexcept override;
    [[nodiscard]] std::wstring accessibleName() const override;
    [[nodiscard]] std::wstring accessibleValue() const override;
    void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                          const base::SystemColours &colours) override;
    // The layout in one colour (high contrast), at the text's place.
    void drawIn(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, const D2D1_COLOR_F &colour) const;

    std::wstring text;
    float size;
    uint32_t colour;
    uint8_t underline;
    uint8_t strikethrough;
    D2D1_DRAW_TEXT_OPTIONS drawOptions = D2D1_DRAW_TEXT_OPTIONS_CLIP;
    Microsoft::WRL::ComPtr<IDWriteFactory> factory;
    DWRITE_TEXT_METRICS metrics = {};
    Microsoft::WRL::ComPtr<IDWriteTextLayout> layout;

protected:
    Text(controls::ItemKind kind, const wchar_t *text, const framework::text::FontDescription &font,
         const ParagraphSettings &paragraph, const TextStyle &style, IDWriteFactory *factory, float x, float y,
         float maxWidth, float maxHeight);

private:
    [[nodiscard]] HRESULT create(const wchar_t *newText, const framework::text::FontDescription &font,
                                 const ParagraphSettings &paragraph, IDWriteFactory *textFactory, float maxWidth,
                                 float maxHeight);
};

} // namespace framework::text
