#pragma once

#include "installer/InstallOptions.h"

#include <windows.h>

namespace installer {

// What a request to install came to.
enum class BeginOutcome {
    // A run started in this process.
    kStarted,
    // An elevated copy took over: this instance's window closes.
    kHandedOver,
    // The user declined elevation: the window says that it is needed.
    kElevationDeclined,
    // Nothing changed: the window stays on its page.
    kNotStarted,
};

// What the window asks of the engine.
class InstallerCommands {
public:
    // The pages' choices; read by the worker once a run starts.
    [[nodiscard]] virtual InstallOptions &options() noexcept = 0;
    // Express Install, START INSTALL and RETRY. `windowRect` is where the
    // window stands, for an elevated copy to open at the same place.
    [[nodiscard]] virtual BeginOutcome beginInstall(const RECT &windowRect) = 0;
    // A stop the user confirmed during a run.
    virtual void requestStop() noexcept = 0;
    // The window closes on any page but the installing page.
    virtual void finish() = 0;

protected:
    ~InstallerCommands() = default;
};

} // namespace installer
