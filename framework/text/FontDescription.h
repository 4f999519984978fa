#pragma once

#include <dwrite.h>

namespace framework::text {

struct FontDescription {
    static constexpr int kFamilyCapacity = 50;
    static constexpr int kLocaleCapacity = 85;

    wchar_t family[kFamilyCapacity] = L"";
    wchar_t locale[kLocaleCapacity] = L"en-US";
    DWRITE_FONT_WEIGHT weight = DWRITE_FONT_WEIGHT_LIGHT;
    DWRITE_FONT_STYLE style = DWRITE_FONT_STYLE_NORMAL;
    DWRITE_FONT_STRETCH stretch = DWRITE_FONT_STRETCH_NORMAL;
};

} // namespace framework::text
