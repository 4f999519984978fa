#include "framework/text/Text.h"

#include "framework/base/highContrast.h"

#include "framework/resources/colourManagement.h"

namespace framework::text {

D2D1_COLOR_F toColorF(uint32_t colour) noexcept
{
    return D2D1::ColorF(static_cast<float>((colour >> 16) & 0xFF) / 255.0f,
                        static_cast<float>((colour >> 8) & 0xFF) / 255.0f, static_cast<float>(colour & 0xFF) / 255.0f,
                        1.0f);
}

Text::Text(const wchar_t *text, const framework::text::FontDescription &font, const ParagraphSettings &paragraph,
           const TextStyle &style, IDWriteFactory *factory, float x, float y, float maxWidth, float maxHeight)
    : Text(controls::kKindText, text, font, paragraph, style, factory, x, y, maxWidth, maxHeight)
{
}

Text::Text(controls::ItemKind kind, const wchar_t *newText, const framework::text::FontDescription &font,
           const ParagraphSettings &paragraph, const TextStyle &style, IDWriteFactory *textFactory, float x, float y,
           float maxWidth, float maxHeight)
    : controls::Item(kind, 0.0f, 0.0f, x, y), size(style.size), colour(style.colour), underline(style.underline),
      strikethrough(style.strikethrough)
{
    creation = create(newText, font, paragraph, textFactory, maxWidth, maxHeight);
    // Without a monitor profile the colour stays as given.
    uint32_t managed = colour;
    if (framework::resources::convertColours(&colour, &managed, 1)) {
        colour = managed;
    }
    factory = textFactory;
}

HRESULT Text::create(const wchar_t *newText, const framework::text::FontDescription &font,
                     const ParagraphSettings &paragraph, IDWriteFactory *textFactory, float maxWidth, float maxHeight)
{
    if (textFactory == nullptr) {
        return E_POINTER;
    }
    Microsoft::WRL::ComPtr<IDWriteTextFormat> format;
    HRESULT result = textFactory->CreateTextFormat(font.family, nullptr, font.weight, font.style, font.stretch, size,
                                                   font.locale, &format);
    if (SUCCEEDED(result)) {
        result = format->SetTextAlignment(paragraph.textAlignment);
    }
    if (SUCCEEDED(result)) {
        result = format->SetParagraphAlignment(paragraph.paragraphAlignment);
    }
    if (SUCCEEDED(result)) {
        result = format->SetWordWrapping(paragraph.wordWrapping);
    }
    if (SUCCEEDED(result) && newText == nullptr) {
        result = E_INVALIDARG;
    }
    if (FAILED(result)) {
        return result;
    }
    const auto length = static_cast<UINT32>(wcslen(newText));
    const DWRITE_TEXT_RANGE whole{0, length};
    result = textFactory->CreateTextLayout(newText, length, format.Get(), maxWidth, maxHeight, &layout);
    if (SUCCEEDED(result)) {
        result = layout->SetUnderline(underline != 0, whole);
    }
    if (SUCCEEDED(result)) {
        result = layout->SetStrikethrough(strikethrough != 0, whole);
    }
    if (SUCCEEDED(result)) {
        result = layout->GetMetrics(&metrics);
    }
    if (FAILED(result)) {
        // A text that failed half-way is not drawn or measured.
        layout.Reset();
        return result;
    }
    text = newText;
    return S_OK;
}

HRESULT Text::draw(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush)
{
    if (renderTarget == nullptr || brush == nullptr || !layout) {
        return S_OK;
    }
    brush->SetColor(toColorF(colour));
    renderTarget->DrawTextLayout(D2D1::Point2F(x, y), layout.Get(), brush, drawOptions);
    return S_OK;
}

void Text::drawIn(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, const D2D1_COLOR_F &drawn) const
{
    if (renderTarget == nullptr || brush == nullptr || !layout) {
        return;
    }
    brush->SetColor(drawn);
    renderTarget->DrawTextLayout(D2D1::Point2F(x, y), layout.Get(), brush, drawOptions);
}

void Text::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                            const base::SystemColours &colours)
{
    if (kind == controls::kKindTextInput) {
        // The field's frame is a picture: an outline stands for it.
        brush->SetColor(colours.windowText);
        renderTarget->DrawRectangle(D2D1::RectF(x - 6.0f, y - 4.0f, x + width + 6.0f, y + height + 4.0f), brush, 1.0f);
    }
    drawIn(renderTarget, brush,
           accessibleRole() == controls::AccessibleRole::kLink ? colours.hotLight : colours.windowText);
}

controls::AccessibleRole Text::accessibleRole() const noexcept
{
    if (kind == controls::kKindTextInput) {
        return controls::AccessibleRole::kReadOnlyText;
    }
    // An empty text (a title before its page has data) reads as nothing.
    return text.empty() ? controls::AccessibleRole::kNone : controls::AccessibleRole::kStaticText;
}

std::wstring Text::accessibleName() const
{
    return kind == controls::kKindTextInput ? std::wstring() : text;
}

std::wstring Text::accessibleValue() const
{
    return kind == controls::kKindTextInput ? text : std::wstring();
}

HRESULT Text::setText(const wchar_t *newText)
{
    if (newText == nullptr) {
        return E_INVALIDARG;
    }
    if (!factory || !layout) {
        return E_UNEXPECTED;
    }
    const auto length = static_cast<UINT32>(wcslen(newText));
    // The current layout is a text format too: font, alignment, wrapping and
    // trimming carry over.
    Microsoft::WRL::ComPtr<IDWriteTextLayout> replacement;
    HRESULT result = factory->CreateTextLayout(newText, length, layout.Get(), layout->GetMaxWidth(),
                                               layout->GetMaxHeight(), &replacement);
    if (FAILED(result)) {
        return result;
    }
    const DWRITE_TEXT_RANGE whole{0, length};
    DWRITE_TEXT_METRICS newMetrics = {};
    if (FAILED(result = replacement->SetUnderline(underline != 0, whole)) ||
        FAILED(result = replacement->SetStrikethrough(strikethrough != 0, whole)) ||
        FAILED(result = replacement->GetMetrics(&newMetrics))) {
        return result;
    }
    text = newText;
    layout = std::move(replacement);
    metrics = newMetrics;
    return S_OK;
}

} // namespace framework::text
