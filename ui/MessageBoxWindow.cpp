#include "ui/MessageBoxWindow.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/base/CoreApplication.h"
#include "ui/controls/elements.h"

namespace ui {

namespace {

constexpr float kTextLeft = 75.0f;
constexpr float kTextTop = 55.0f;
constexpr float kRightMargin = 32.0f;
constexpr float kBottomMargin = 23.0f;
constexpr float kButtonGap = 30.0f;

} // namespace

std::vector<BoxButton> buttonsForFlags(unsigned flags)
{
    if (flags == MB_OK) {
        return {{app::ids::kOk, IDOK}};
    }
    if ((flags & MB_YESNO) != 0) {
        return {{app::ids::kYes, IDYES}, {app::ids::kNo, IDNO}};
    }
    if ((flags & MB_OKCANCEL) != 0) {
        return {{app::ids::kOk, IDOK}, {app::ids::kCancel, IDCANCEL}};
    }
    return {};
}

int defaultResultForFlags(unsigned flags)
{
    const std::vector<BoxButton> buttons = buttonsForFlags(flags);
    if (buttons.empty()) {
        return 0;
    }
    const size_t index =
        (flags & static_cast<unsigned>(MB_DEFMASK)) == static_cast<unsigned>(MB_DEFBUTTON2) && buttons.size() > 1 ? 1
                                                                                                                  : 0;
    return buttons[index].resultCode;
}

int cancelResultForFlags(unsigned flags)
{
    const std::vector<BoxButton> buttons = buttonsForFlags(flags);
    return buttons.empty() ? 0 : buttons.back().resultCode;
}

MessageBoxButton::MessageBoxButton(HWND window, int resultCode, std::function<void(int)> onResult,
                                   const std::wstring &caption, const framework::text::FontDescription &font,
                                   IDWriteFactory *factory)
    : TextButtonDark(caption, font, factory, 0, 0), window_(window), resultCode_(resultCode),
      onResult_(std::move(onResult))
{
}

void MessageBoxButton::click()
{
    onResult_(resultCode_);
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

MessageBoxPage::MessageBoxPage(MessageBoxWindow *box, const std::wstring &text, unsigned flags,
                               const framework::text::FontDescription &font, IDWriteFactory *factory)
    : View(box, kId)
{
    title = add(controls::label(text, font, factory, 28.0f, 0xEEEEEE, kTextLeft, kTextTop));
    const std::vector<BoxButton> buttons = buttonsForFlags(flags);
    const float bottom = box->getHeight() - kBottomMargin;
    float right = box->getWidth() - kRightMargin;
    // Built from the right: the last button sits at the box's corner.
    for (auto button = buttons.rbegin(); button != buttons.rend(); ++button) {
        auto *created = make<MessageBoxButton>(
            box->handle(), button->resultCode, [box](int code) { box->setResult(code); },
            app::loadString(button->captionId), font, factory);
        created->setBottomRight(right, bottom);
        if (button->resultCode == defaultResultForFlags(flags)) {
            initialFocus = created;
        }
        right = created->x - kButtonGap;
    }
}

MessageBoxWindow::MessageBoxWindow(Direct2dWindow *owner, const wchar_t *caption, unsigned width, unsigned height,
                                   std::wstring text, unsigned flags)
    : Direct2dWindow(owner, caption, width, height, kActiveBackground, kInactiveBackground), text_(std::move(text)),
      flags_(flags)
{
}

const wchar_t *MessageBoxWindow::className() const
{
    return L"MessageBox";
}

void MessageBoxWindow::onEscape()
{
    const int cancelling = cancelResultForFlags(flags_);
    for (framework::controls::Item *item : actionableItems()) {
        if (const auto *button = dynamic_cast<MessageBoxButton *>(item);
            button != nullptr && button->resultCode() == cancelling) {
            item->activate();
            return;
        }
    }
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

HRESULT MessageBoxWindow::createContent(intptr_t)
{
    nonClientView = std::make_unique<framework::views::NonClientAreaView>(this, false);
    views.push_back(
        std::make_unique<MessageBoxPage>(this, text_, flags_, framework::base::uiFont(), textFactory.Get()));
    if (const HRESULT created = contentCreation(); FAILED(created)) {
        return created;
    }
    currentView = views.front().get();
    currentView->show();
    return S_OK;
}

} // namespace ui
