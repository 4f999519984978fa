#pragma once

#include "framework/text/FontDescription.h"

#include <dwrite.h>

#include <span>
#include <string_view>

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
// weight, normal stretch and normal style. Otherwise a family of the
// collection with an "en-US" name and a face of weight 400, normal stretch and
// style that is not a symbol face: the first that has every one of
// `characters`, or else the one that has the most of them (the earlier on a
// tie). E_UNEXPECTED when no family qualifies.
[[nodiscard]] HRESULT chooseUiFontFrom(IDWriteFontCollection *collection, std::span<const FontCandidate> candidates,
                                       std::wstring_view characters, framework::text::FontDescription &font);

// `characters` is asked for only when no candidate is installed.
[[nodiscard]] HRESULT chooseUiFont(IDWriteFactory *factory, std::wstring (*characters)(),
                                   framework::text::FontDescription &font);

} // namespace app
