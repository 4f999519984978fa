#include "framework/text/Label.h"

namespace framework::text {

namespace {

constexpr ParagraphSettings kLabelParagraph{DWRITE_TEXT_ALIGNMENT_LEADING, DWRITE_PARAGRAPH_ALIGNMENT_CENTER,
                                            DWRITE_WORD_WRAPPING_NO_WRAP};

} // namespace

Label::Label(const wchar_t *text, const framework::text::FontDescription &font, const TextStyle &style,
             IDWriteFactory *factory, float x, float y)
    : Label(controls::kKindLabel, text, font, style, factory, x, y)
{
}

Label::Label(controls::ItemKind kind, const wchar_t *text, const framework::text::FontDescription &font,
             const TextStyle &style, IDWriteFactory *factory, float x, float y)
    : Text(kind, text, font, kLabelParagraph, style, factory, x, y, 0.0f, 0.0f)
{
    fitToText();
}

void Label::fitToText()
{
    if (!layout) {
        return;
    }
    layout->SetMaxWidth(metrics.width);
    layout->SetMaxHeight(metrics.height);
    width = metrics.width;
    height = metrics.height;
}

HRESULT Label::setText(const wchar_t *newText)
{
    // Unwrapped, so the new metrics are the text's natural size even though
    // the new layout starts with the old box.
    const HRESULT result = Text::setText(newText);
    if (FAILED(result)) {
        return result;
    }
    fitToText();
    return S_OK;
}

} // namespace framework::text
