#include "framework/buttons/UrlButton.h"

#include "framework/windows/messages.h"

namespace framework::buttons {

UrlButton::UrlButton(HWND window, const wchar_t *text, const framework::text::FontDescription &font,
                     const text::TextStyle &style, IDWriteFactory *factory, uint32_t hoverColour, float x, float y)
    : Label(controls::kKindUrlButton, text, font, style, factory, x, y), window(window), normalColour(colour),
      hoverColour(hoverColour)
{
    interactive = true;
    handCursor = ::LoadCursorW(nullptr, IDC_HAND);
    if (handCursor == nullptr && SUCCEEDED(creation)) {
        creation = E_UNEXPECTED;
    }
}

void UrlButton::mouseEnter()
{
    colour = hoverColour;
    hovered = true;
    previousCursor = ::SetCursor(handCursor);
    ::PostMessageW(window, framework::windows::kMsgSetCursor, reinterpret_cast<WPARAM>(handCursor), 0);
}

void UrlButton::mouseLeave()
{
    colour = normalColour;
    hovered = false;
    ::SetCursor(previousCursor);
    ::PostMessageW(window, framework::windows::kMsgSetCursor, reinterpret_cast<WPARAM>(previousCursor), 0);
}

} // namespace framework::buttons
