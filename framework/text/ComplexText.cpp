#include "framework/text/ComplexText.h"

#include "framework/base/highContrast.h"
#include "framework/text/textHitTest.h"
#include "framework/windows/messages.h"

#include <algorithm>

namespace framework::text {

using framework::windows::kMsgRedraw;
using framework::windows::kMsgSetCursor;

ComplexText::ComplexText(HWND window, const wchar_t *text, const framework::text::FontDescription &font,
                         const ParagraphSettings &paragraph, const TextStyle &style, IDWriteFactory *factory, float x,
                         float y, float maxWidth, float maxHeight)
    : Text(controls::kKindComplexText, text, font, paragraph, style, factory, x, y, maxWidth, maxHeight), window(window)
{
    interactive = true;
    handCursor = ::LoadCursorW(nullptr, IDC_HAND);
    if (handCursor == nullptr && SUCCEEDED(creation)) {
        creation = E_UNEXPECTED;
    }
}

int ComplexText::rangeAt(uint32_t textPosition) const noexcept
{
    for (size_t i = 0; i < ranges.size(); ++i) {
        const TextRange &range = ranges[i];
        if (range.start <= textPosition && textPosition <= range.start + range.length) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

void ComplexText::applyLook(const TextRange &range, const TextStyle &look)
{
    if (!layout) {
        return;
    }
    const DWRITE_TEXT_RANGE textRange{range.start, range.length};
    layout->SetUnderline(look.underline != 0, textRange);
    layout->SetStrikethrough(look.strikethrough != 0, textRange);
    layout->SetFontSize(look.size, textRange);
}

void ComplexText::mouseMove(const controls::MouseEvent &event)
{
    if (ranges.empty()) {
        return;
    }
    int found = -1;
    uint32_t position = 0;
    // The point need not lie on a glyph: the nearest position counts.
    if (SUCCEEDED(textPositionAt(layout.Get(), event.x - x, event.y - y, position))) {
        found = rangeAt(position);
    }
    if (found == hoveredRange) {
        return;
    }
    leaveRange();
    if (found >= 0) {
        hoveredRange = found;
        applyLook(ranges[static_cast<size_t>(found)], ranges[static_cast<size_t>(found)].hover);
        previousCursor = ::SetCursor(handCursor);
        ::PostMessageW(window, kMsgSetCursor, reinterpret_cast<WPARAM>(handCursor), 0);
    }
    ::PostMessageW(window, kMsgRedraw, 0, 0);
}

void ComplexText::leaveRange()
{
    if (hoveredRange < 0 || static_cast<size_t>(hoveredRange) >= ranges.size()) {
        hoveredRange = -1;
        return;
    }
    const TextRange &range = ranges[static_cast<size_t>(hoveredRange)];
    applyLook(range, range.normal);
    layout->SetDrawingEffect(nullptr, DWRITE_TEXT_RANGE{range.start, range.length});
    hoveredRange = -1;
    ::SetCursor(previousCursor);
    ::PostMessageW(window, kMsgSetCursor, reinterpret_cast<WPARAM>(previousCursor), 0);
}

void ComplexText::mouseLeave()
{
    hovered = false;
    leaveRange();
}

void ComplexText::click()
{
    if (hoveredRange < 0 || static_cast<size_t>(hoveredRange) >= ranges.size()) {
        return;
    }
    if (auto *action = ranges[static_cast<size_t>(hoveredRange)].onClick) {
        action(window);
    }
}

bool ComplexText::actionable() const noexcept
{
    return visible && std::any_of(ranges.begin(), ranges.end(), [](const TextRange &range) { return range.onClick; });
}

controls::AccessibleRole ComplexText::accessibleRole() const noexcept
{
    return actionable() ? controls::AccessibleRole::kLink : Text::accessibleRole();
}

void ComplexText::drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                   const base::SystemColours &colours)
{
    if (!layout) {
        return;
    }
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> linkBrush;
    if (SUCCEEDED(renderTarget->CreateSolidColorBrush(colours.hotLight, &linkBrush))) {
        for (const TextRange &range : ranges) {
            layout->SetDrawingEffect(linkBrush.Get(), DWRITE_TEXT_RANGE{range.start, range.length});
        }
    }
    drawIn(renderTarget, brush, colours.windowText);
    for (const TextRange &range : ranges) {
        layout->SetDrawingEffect(nullptr, DWRITE_TEXT_RANGE{range.start, range.length});
    }
}

void ComplexText::activate()
{
    for (const TextRange &range : ranges) {
        if (range.onClick != nullptr) {
            range.onClick(window);
            return;
        }
    }
}

HRESULT ComplexText::draw(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush)
{
    if (renderTarget == nullptr || brush == nullptr || !layout) {
        return S_OK;
    }
    std::vector<Microsoft::WRL::ComPtr<ID2D1SolidColorBrush>> rangeBrushes;
    rangeBrushes.reserve(ranges.size());
    for (size_t i = 0; i < ranges.size(); ++i) {
        const TextRange &range = ranges[i];
        const TextStyle &look = static_cast<int>(i) == hoveredRange ? range.hover : range.normal;
        Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> rangeBrush;
        if (SUCCEEDED(renderTarget->CreateSolidColorBrush(toColorF(look.colour), &rangeBrush))) {
            layout->SetDrawingEffect(rangeBrush.Get(), DWRITE_TEXT_RANGE{range.start, range.length});
            rangeBrushes.push_back(std::move(rangeBrush));
        }
    }
    const HRESULT result = Text::draw(renderTarget, brush);
    for (const TextRange &range : ranges) {
        layout->SetDrawingEffect(nullptr, DWRITE_TEXT_RANGE{range.start, range.length});
    }
    return result;
}

HRESULT ComplexText::setText(const wchar_t *newText)
{
    ranges.clear();
    hoveredRange = -1;
    return Text::setText(newText);
}

} // namespace framework::text
