#include "app/fontChoice.h"

#include <wrl/client.h>

#include <cwchar>
#include <optional>
#include <string>

using Microsoft::WRL::ComPtr;

namespace app {
namespace {

constexpr wchar_t kLocale[] = L"en-US";

bool candidateMatches(IDWriteFontCollection *collection, const FontCandidate &candidate)
{
    UINT32 index = 0;
    BOOL exists = FALSE;
    if (FAILED(collection->FindFamilyName(candidate.family, &index, &exists)) || !exists) {
        return false;
    }
    ComPtr<IDWriteFontFamily> family;
    if (FAILED(collection->GetFontFamily(index, &family))) {
        return false;
    }
    ComPtr<IDWriteFont> font;
    if (FAILED(family->GetFirstMatchingFont(candidate.weight, DWRITE_FONT_STRETCH_NORMAL, DWRITE_FONT_STYLE_NORMAL,
                                            &font))) {
        return false;
    }
    return font->GetWeight() == candidate.weight && font->GetStretch() == DWRITE_FONT_STRETCH_NORMAL &&
           font->GetStyle() == DWRITE_FONT_STYLE_NORMAL;
}

void describe(framework::text::FontDescription &font, const wchar_t *family, DWRITE_FONT_WEIGHT weight)
{
    font = framework::text::FontDescription{};
    wcsncpy_s(font.family, family, _TRUNCATE);
    wcsncpy_s(font.locale, kLocale, _TRUNCATE);
    font.weight = weight;
    font.style = DWRITE_FONT_STYLE_NORMAL;
    font.stretch = DWRITE_FONT_STRETCH_NORMAL;
}

struct FallbackFamily {
    wchar_t name[framework::text::FontDescription::kFamilyCapacity] = {};
    size_t characterCount = 0;
};

// Its en-US name, cut to the description's capacity.
bool englishName(IDWriteFontFamily *family, wchar_t (&name)[framework::text::FontDescription::kFamilyCapacity])
{
    ComPtr<IDWriteLocalizedStrings> names;
    if (FAILED(family->GetFamilyNames(&names))) {
        return false;
    }
    UINT32 nameIndex = 0;
    BOOL exists = FALSE;
    if (FAILED(names->FindLocaleName(kLocale, &nameIndex, &exists)) || !exists) {
        return false;
    }
    UINT32 length = 0;
    if (FAILED(names->GetStringLength(nameIndex, &length))) {
        return false;
    }
    std::wstring fullName(length + 1, L'\0');
    if (FAILED(names->GetString(nameIndex, fullName.data(), length + 1))) {
        return false;
    }
    wcsncpy_s(name, fullName.c_str(), _TRUNCATE);
    return true;
}

// A family the fallback may take, with how many of `characters` its regular
// face has; nullopt for a family without an English name or a regular face,
// or whose regular face is a symbol face (its letters would be pictures).
// With `complete`, also nullopt as soon as one character is missing.
std::optional<FallbackFamily> fallbackFamily(IDWriteFontCollection *collection, UINT32 index,
                                             std::wstring_view characters, bool complete)
{
    ComPtr<IDWriteFontFamily> family;
    ComPtr<IDWriteFont> regular;
    if (FAILED(collection->GetFontFamily(index, &family)) ||
        FAILED(family->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                            DWRITE_FONT_STYLE_NORMAL, &regular))) {
        return std::nullopt;
    }
    if (regular->IsSymbolFont() || regular->GetWeight() != DWRITE_FONT_WEIGHT_NORMAL ||
        regular->GetStretch() != DWRITE_FONT_STRETCH_NORMAL || regular->GetStyle() != DWRITE_FONT_STYLE_NORMAL) {
        return std::nullopt;
    }
    FallbackFamily fallback;
    // From the end: the rarest characters (punctuation beyond ASCII) come
    // last in code point order and reject most families at once.
    for (auto character = characters.rbegin(); character != characters.rend(); ++character) {
        BOOL exists = FALSE;
        if (SUCCEEDED(regular->HasCharacter(*character, &exists)) && exists) {
            ++fallback.characterCount;
        } else if (complete) {
            return std::nullopt;
        }
    }
    if (!englishName(family.Get(), fallback.name)) {
        return std::nullopt;
    }
    return fallback;
}

bool chooseCandidate(IDWriteFontCollection *collection, std::span<const FontCandidate> candidates,
                     framework::text::FontDescription &font)
{
    for (const FontCandidate &candidate : candidates) {
        if (candidateMatches(collection, candidate)) {
            describe(font, candidate.family, candidate.weight);
            return true;
        }
    }
    return false;
}

} // namespace

HRESULT chooseUiFontFrom(IDWriteFontCollection *collection, std::span<const FontCandidate> candidates,
                         std::wstring_view characters, framework::text::FontDescription &font)
{
    if (chooseCandidate(collection, candidates, font)) {
        return S_OK;
    }

    // The first family with every character; only when none has them all,
    // a second pass for the one with the most.
    const UINT32 familyCount = collection->GetFontFamilyCount();
    std::optional<FallbackFamily> best;
    for (UINT32 i = 0; i < familyCount && !best; ++i) {
        best = fallbackFamily(collection, i, characters, true);
    }
    const bool someHasEvery = best.has_value();
    for (UINT32 i = 0; i < familyCount && !someHasEvery; ++i) {
        std::optional<FallbackFamily> family = fallbackFamily(collection, i, characters, false);
        if (family && (!best || family->characterCount > best->characterCount)) {
            best = std::move(family);
        }
    }
    if (!best) {
        return E_UNEXPECTED;
    }
    describe(font, best->name, DWRITE_FONT_WEIGHT_NORMAL);
    return S_OK;
}

HRESULT chooseUiFont(IDWriteFactory *factory, std::wstring (*characters)(), framework::text::FontDescription &font)
{
    ComPtr<IDWriteFontCollection> collection;
    const HRESULT hr = factory->GetSystemFontCollection(&collection, FALSE);
    if (FAILED(hr)) {
        return hr;
    }
    if (chooseCandidate(collection.Get(), kUiFontCandidates, font)) {
        return S_OK;
    }
    return chooseUiFontFrom(collection.Get(), {}, characters(), font);
}

} // namespace app
