#include "framework/text/measureText.h"

#include "framework/base/CoreApplication.h"

#include <wrl/client.h>

#include <algorithm>
#include <cwchar>
#include <vector>

namespace framework::text {

using Microsoft::WRL::ComPtr;

LineScan scanLines(const wchar_t *text, size_t length) noexcept
{
    LineScan scan;
    scan.lineCount = 1;
    size_t lineStart = 0;
    for (size_t i = 0; i <= length; ++i) {
        const bool lineFeed = i < length && text[i] == L'\n';
        if (!lineFeed && i < length) {
            continue;
        }
        const size_t lineLength = (lineFeed ? i + 1 : i) - lineStart;
        if (lineLength > scan.longestLength) {
            scan.longestStart = lineStart;
            scan.longestLength = lineLength;
        }
        if (lineFeed) {
            ++scan.lineCount;
            lineStart = i + 1;
        }
    }
    return scan;
}

bool measureText(const wchar_t *text, const framework::text::FontDescription &font, float size, TextMetrics &metrics)
{
    const framework::base::CoreApplication *application = framework::base::CoreApplication::current();
    return measureText(application != nullptr ? application->dwriteFactory() : nullptr, text, font, size, metrics);
}

bool measureText(IDWriteFactory *factory, const wchar_t *text, const framework::text::FontDescription &font, float size,
                 TextMetrics &metrics)
{
    if (factory == nullptr || text == nullptr || text[0] == L'\0') {
        return false;
    }
    ComPtr<IDWriteFontCollection> collection;
    if (FAILED(factory->GetSystemFontCollection(&collection, FALSE))) {
        return false;
    }
    UINT32 familyIndex = 0;
    BOOL exists = FALSE;
    if (FAILED(collection->FindFamilyName(font.family, &familyIndex, &exists)) || !exists) {
        return false;
    }
    ComPtr<IDWriteFontFamily> family;
    ComPtr<IDWriteFont> matching;
    if (FAILED(collection->GetFontFamily(familyIndex, &family)) ||
        FAILED(family->GetFirstMatchingFont(font.weight, font.stretch, font.style, &matching))) {
        return false;
    }
    // A simulated or nearest face would measure a different font.
    if (matching->GetWeight() != font.weight || matching->GetStretch() != font.stretch ||
        matching->GetStyle() != font.style) {
        return false;
    }
    ComPtr<IDWriteFontFace> face;
    if (FAILED(matching->CreateFontFace(&face))) {
        return false;
    }

    const size_t length = wcslen(text);
    const LineScan lines = scanLines(text, length);
    // Each UTF-16 unit is taken as one code point.
    std::vector<UINT32> codePoints(text, text + length);
    std::vector<UINT16> glyphs(length);
    std::vector<DWRITE_GLYPH_METRICS> glyphMetrics(length);
    if (FAILED(face->GetGlyphIndices(codePoints.data(), static_cast<UINT32>(length), glyphs.data())) ||
        FAILED(face->GetDesignGlyphMetrics(glyphs.data(), static_cast<UINT32>(length), glyphMetrics.data(), FALSE))) {
        return false;
    }
    DWRITE_FONT_METRICS fontMetrics = {};
    face->GetMetrics(&fontMetrics);
    if (fontMetrics.designUnitsPerEm == 0) {
        return false;
    }

    const float scale = size / static_cast<float>(fontMetrics.designUnitsPerEm);
    double advanceSum = 0;
    UINT32 tallest = 0;
    for (size_t i = lines.longestStart; i < lines.longestStart + lines.longestLength; ++i) {
        advanceSum += glyphMetrics[i].advanceWidth;
        tallest = std::max(tallest, glyphMetrics[i].advanceHeight);
    }
    const size_t lastOfLine = lines.longestStart + lines.longestLength - 1;
    const double ink = advanceSum - glyphMetrics[lastOfLine].rightSideBearing - glyphMetrics[0].leftSideBearing;
    const double lineHeight =
        static_cast<double>(fontMetrics.ascent) + fontMetrics.descent + static_cast<double>(fontMetrics.lineGap);

    metrics.width = static_cast<float>(advanceSum * scale);
    metrics.height = static_cast<float>(lineHeight * scale * static_cast<double>(lines.lineCount));
    metrics.inkWidth = static_cast<float>(ink * scale);
    metrics.glyphHeight = static_cast<float>(tallest) * scale;
    return true;
}

} // namespace framework::text
