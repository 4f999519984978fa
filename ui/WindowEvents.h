#pragma once

#include "installer/InstallerEvents.h"

#include <windows.h>

namespace ui {

// What the engine tells, turned into page messages to the main window: the
// worker never touches the window itself.
class WindowEvents final : public installer::InstallerEvents {
public:
    explicit WindowEvents(HWND window) noexcept : window_(window) {}

    void runStarting() override;
    void statusChanged(installer::InstallStatus status) override;
    void progressChanged(int64_t position) override;
    void succeeded() override;
    void failed(const installer::InstallFailure &failure) override;
    void cancelled() override;
    void unattendedRunEnded() override;

private:
    // A box the window has open goes before the outcome's page shows.
    void closePopup() const;

    HWND window_;
};

} // namespace ui
