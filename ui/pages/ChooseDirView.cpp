#include "ui/pages/ChooseDirView.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/windows/messages.h"
#include "ui/MainWindow.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/ChooseFileTextField.h"
#include "ui/controls/StartInstallButton.h"
#include "ui/controls/TextButton.h"
#include "ui/controls/elements.h"

namespace ui::pages {

using ui::controls::CheckBox;
using ui::controls::TextButtonDark;

namespace {

constexpr float kButtonsTop = 390.0f;
constexpr float kButtonGap = 16.0f;
constexpr float kCheckBoxGap = 5.0f;

// The options live in the installer, so that they outlast the page.
class OptionCheckBox : public CheckBox {
public:
    OptionCheckBox(volatile BYTE &option, unsigned captionId, const framework::text::FontDescription &font,
                   IDWriteFactory *factory, float x, float y)
        : CheckBox(app::loadString(captionId), option != 0, font, factory, x, y), option_(option)
    {
    }

    void onChecked() override { option_ = 1; }
    void onUnchecked() override { option_ = 0; }

private:
    volatile BYTE &option_;
};

class StartWhenFinishedCheckBox final : public OptionCheckBox {
public:
    StartWhenFinishedCheckBox(installer::InstallOptions &options, const framework::text::FontDescription &font,
                              IDWriteFactory *factory, float x, float y)
        : OptionCheckBox(options.startWhenFinished, app::ids::kStartWhenFinished, font, factory, x, y)
    {
    }
};

class CreateDesktopShortcutCheckBox final : public OptionCheckBox {
public:
    CreateDesktopShortcutCheckBox(installer::InstallOptions &options, const framework::text::FontDescription &font,
                                  IDWriteFactory *factory, float x, float y)
        : OptionCheckBox(options.createDesktopShortcut, app::ids::kCreateDesktopShortcut, font, factory, x, y)
    {
    }
};

class BackButton final : public TextButtonDark {
public:
    BackButton(HWND window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y)
        : TextButtonDark(app::loadString(app::ids::kBack), font, factory, x, y), window_(window)
    {
    }

    void click() override { ::PostMessageW(window_, framework::windows::kMsgShowView, 1, 0); }

private:
    HWND window_;
};

class StartButton final : public ui::controls::StartInstallButton {
public:
    StartButton(MainWindow &window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
                float y)
        : StartInstallButton(font, factory, x, y), window_(window)
    {
    }

    void click() override { window_.beginInstall(); }

private:
    MainWindow &window_;
};

} // namespace

ChooseDirView::ChooseDirView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font)
    : View(window, kId)
{
    installer::InstallOptions &options = window->commands().options();
    add(controls::sprite(226, 96, 36, 28, 73, 462));
    title = add(controls::label(app::loadString(app::ids::kChooseDirectory), font, factory, 28.0f, 0xEEEEEE, 280, 94));
    field_ = make<ui::controls::ChooseFileTextField>(window, options.destination, font, factory, 80, 158);
    const auto *startWhenFinished = make<StartWhenFinishedCheckBox>(options, font, factory, 91, 212);
    make<CreateDesktopShortcutCheckBox>(options, font, factory, 91,
                                        startWhenFinished->y + startWhenFinished->height + kCheckBoxGap);
    const auto *back = make<BackButton>(window->handle(), font, factory, 290, kButtonsTop);
    initialFocus = make<StartButton>(*window, font, factory, back->x + back->width + kButtonGap, kButtonsTop);
}

} // namespace ui::pages
