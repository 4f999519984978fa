#pragma once

#include "framework/text/Text.h"

namespace framework::text {

// The text of a folder field; its owner adds ellipsis trimming. No editing.
class TextInput : public Text {
public:
    TextInput(const wchar_t *text, const framework::text::FontDescription &font, const ParagraphSettings &paragraph,
              const TextStyle &style, IDWriteFactory *factory, float x, float y, float maxWidth, float maxHeight)
        : Text(controls::kKindTextInput, text, font, paragraph, style, factory, x, y, maxWidth, maxHeight)
    {
    }
};

} // namespace framework::text
