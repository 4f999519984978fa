#pragma once

#include "framework/text/Text.h"

namespace framework::text {

// One unwrapped line whose box is exactly its text.
class Label : public Text {
public:
    Label(const wchar_t *text, const framework::text::FontDescription &font, const TextStyle &style,
          IDWriteFactory *factory, float x, float y);

    HRESULT setText(const wchar_t *newText) override;

protected:
    Label(controls::ItemKind kind, const wchar_t *text, const framework::text::FontDescription &font,
          const TextStyle &style, IDWriteFactory *factory, float x, float y);

private:
    void fitToText();
};

} // namespace framework::text
