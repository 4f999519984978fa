#pragma once

#include "framework/windows/Direct2dWindow.h"

namespace installer {

class Installer;

// The installer's window: five pages over the system buttons, one shown at
// a time. The worker reaches it only through posted and sent page messages.
class MainWindow : public application::controls::windows::Direct2dWindow {
public:
    static constexpr unsigned kWidth = 767;
    static constexpr unsigned kHeight = 444;
    static constexpr int kActiveBackground = 102;
    static constexpr int kInactiveBackground = 103;

    explicit MainWindow(Installer &installer);

    const wchar_t *className() const override;
    // During the installation closing asks first; otherwise the finish
    // actions run and the window goes.
    void close() override;
    void onDestroyed() override;
    // `argument`: the page to open on (0 for the start page).
    HRESULT createContent(intptr_t argument) override;

    [[nodiscard]] Installer &installer() const noexcept { return installer_; }
    // The page with that id, or null.
    [[nodiscard]] application::controls::views::View *page(int32_t id) const noexcept;

private:
    Installer &installer_;
};

} // namespace installer
