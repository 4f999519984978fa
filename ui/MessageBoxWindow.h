#pragma once

#include "framework/text/FontDescription.h"
#include "framework/views/View.h"
#include "framework/windows/Direct2dWindow.h"
#include "ui/controls/TextButton.h"

#include <functional>
#include <string>
#include <vector>

namespace ui {

class MessageBoxWindow;

// A button of the message box: stores its result code in the box and
// closes it.
class MessageBoxButton : public controls::TextButtonDark {
public:
    MessageBoxButton(HWND window, int resultCode, std::function<void(int)> onResult, const std::wstring &caption,
                     const framework::text::FontDescription &font, IDWriteFactory *factory);

    void click() override;

    [[nodiscard]] int resultCode() const noexcept { return resultCode_; }

private:
    HWND window_;
    int resultCode_;
    std::function<void(int)> onResult_;
};

// The box's only page: the message and the buttons its flags ask for.
class MessageBoxPage : public framework::views::View {
public:
    static constexpr int32_t kId = 1;

    MessageBoxPage(MessageBoxWindow *box, const std::wstring &text, unsigned flags,
                   const framework::text::FontDescription &font, IDWriteFactory *factory);
};

// The application's own modal message box, drawn like the main window.
class MessageBoxWindow : public framework::windows::Direct2dWindow {
public:
    static constexpr int kActiveBackground = 104;
    static constexpr int kInactiveBackground = 105;

    MessageBoxWindow(Direct2dWindow *owner, const wchar_t *caption, unsigned width, unsigned height, std::wstring text,
                     unsigned flags);

    const wchar_t *className() const override;
    void onEscape() override;
    [[nodiscard]] bool isDialog() const noexcept override { return true; }
    HRESULT createContent(intptr_t argument) override;

    [[nodiscard]] int result() const noexcept { return result_; }
    void setResult(int code) noexcept { result_ = code; }

private:
    std::wstring text_;
    unsigned flags_;
    int result_ = 0;
};

// Buttons for MessageBoxW-style flags, left to right, with their results.
struct BoxButton {
    unsigned captionId;
    int resultCode;
};
[[nodiscard]] std::vector<BoxButton> buttonsForFlags(unsigned flags);
// The result of the button Enter takes at first (MB_DEFBUTTON2 names the
// second) and of the one Escape takes (No, Cancel, or the only OK).
[[nodiscard]] int defaultResultForFlags(unsigned flags);
[[nodiscard]] int cancelResultForFlags(unsigned flags);

} // namespace ui
