#pragma once

#include "framework/windows/Direct2dWindow.h"
#include "installer/InstallerCommands.h"
#include "installer/InstallerEvents.h"

#include <memory>

namespace ui {

// The installer's window: five pages over the system buttons, one shown at
// a time; the pages not shown first are made after the first frame. The
// worker reaches it only through the page messages of its events; the pages
// reach the engine through its commands.
class MainWindow : public framework::windows::Direct2dWindow {
public:
    static constexpr unsigned kWidth = 767;
    static constexpr unsigned kHeight = 444;
    static constexpr int kActiveBackground = 102;
    static constexpr int kInactiveBackground = 103;

    explicit MainWindow(installer::InstallerCommands &commands);

    const wchar_t *className() const override;
    // During the installation closing asks first; otherwise the finish
    // actions run and the window goes.
    void close() override;
    void onDestroyed() override;
    // Escape does what the close button does.
    void onEscape() override;
    // `argument`: the page to open on (0 for the start page).
    HRESULT createContent(intptr_t argument) override;
    void onStartupStep(const wchar_t *step) noexcept override;

    [[nodiscard]] installer::InstallerCommands &commands() const noexcept { return commands_; }
    // What the engine tells this window; made once the window exists.
    [[nodiscard]] std::shared_ptr<installer::InstallerEvents> events();
    // The page with that id, or null.
    [[nodiscard]] framework::views::View *page(int32_t id) noexcept { return findView(id); }

    // Express Install, START INSTALL and RETRY: a run here, or the hand-over
    // to an elevated copy, after which this window closes.
    void beginInstall();
    // The stop question of the STOP button and of closing the window: on Yes
    // the status line says the installation is being cancelled and the
    // worker is asked to stop. Any other answer leaves the installation
    // running.
    void askToStop();
    // Moves to `rect` of an instance that handed over, kept inside the work
    // area of its monitor.
    void moveToRectangle(const RECT &rect);

private:
    installer::InstallerCommands &commands_;
    std::shared_ptr<installer::InstallerEvents> events_;
};

} // namespace ui
