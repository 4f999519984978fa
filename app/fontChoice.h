#pragma once

#include "framework/text/FontDescription.h"

#include <dwrite.h>

#include <span>

namespace app {

struct FontCandidate {
    const wchar_t *family;
    DWRITE_FONT_WEIGHT weight;
};

// The UI font, in order of preference.
inline constexpr FontCandidate kUiFontCandidates[] = {
    {L"Calibri", DWRITE_FONT_WEIGHT_LIGHT},
    {L"Segoe UI", DWRITE_FONT_WEIGHT_NORMAL},
    {L"Tahoma", DWRITE_FONT_WEIGHT_NORMAL},
};

// The first candidate whose family has a face of exactly the requested
// weight, normal stretch and normal style; otherwise the first family of the
// collection with an "en-US" name at weight 400; E_UNEXPECTED when none has.
[[nodiscard]] HRESULT chooseUiFontFrom(IDWriteFontCollection *collection, std::span<const FontCandidate> candidates,
                                       framework::text::FontDescription &font);

[[nodiscard]] HRESULT chooseUiFont(IDWriteFactory *factory, framework::text::FontDescription &font);

} // namespace app
