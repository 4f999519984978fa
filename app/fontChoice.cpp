#include "app/fontChoice.h"

#include <wrl/client.h>

#include <cwchar>
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

} // namespace

HRESULT chooseUiFontFrom(IDWriteFontCollection *collection, std::span<const FontCandidate> candidates,
                         framework::text::FontDescription &font)
{
    for (const FontCandidate &candidate : candidates) {
        if (candidateMatches(collection, candidate)) {
            describe(font, candidate.family, candidate.weight);
            return S_OK;
        }
    }

    const UINT32 familyCount = collection->GetFontFamilyCount();
    for (UINT32 i = 0; i < familyCount; ++i) {
        ComPtr<IDWriteFontFamily> family;
        ComPtr<IDWriteLocalizedStrings> names;
        if (FAILED(collection->GetFontFamily(i, &family)) || FAILED(family->GetFamilyNames(&names))) {
            continue;
        }
        UINT32 nameIndex = 0;
        BOOL exists = FALSE;
        if (FAILED(names->FindLocaleName(kLocale, &nameIndex, &exists)) || !exists) {
            continue;
        }
        wchar_t name[framework::text::FontDescription::kFamilyCapacity] = {};
        UINT32 length = 0;
        if (FAILED(names->GetStringLength(nameIndex, &length))) {
            continue;
        }
        if (length >= framework::text::FontDescription::kFamilyCapacity) {
            // Too long for the description: keep the first 49 characters.
            std::wstring longName(length + 1, L'\0');
            if (FAILED(names->GetString(nameIndex, longName.data(), length + 1))) {
                continue;
            }
            wcsncpy_s(name, longName.c_str(), _TRUNCATE);
        } else if (FAILED(names->GetString(nameIndex, name, framework::text::FontDescription::kFamilyCapacity))) {
            continue;
        }
        describe(font, name, DWRITE_FONT_WEIGHT_NORMAL);
        return S_OK;
    }
    return E_UNEXPECTED;
}

HRESULT chooseUiFont(IDWriteFactory *factory, framework::text::FontDescription &font)
{
    ComPtr<IDWriteFontCollection> collection;
    const HRESULT hr = factory->GetSystemFontCollection(&collection, FALSE);
    if (FAILED(hr)) {
        return hr;
    }
    return chooseUiFontFrom(collection.Get(), kUiFontCandidates, font);
}

} // namespace app
