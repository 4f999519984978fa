#pragma once

#include "installer/InstallFailure.h"

#include <cstdint>

namespace installer {

// The status line of a run, as the installing page names it.
enum InstallStatus : int64_t {
    kStatusChecking = 0,
    kStatusConnecting = 1,
    kStatusDownloading = 2,
    kStatusInstalling = 3,
    kStatusCancelling = 4,
};

// Progress runs from 0 to kProgressScale: the download fills the first half,
// the extraction the second.
constexpr int64_t kProgressScale = 10000;
constexpr int64_t kProgressHalf = kProgressScale / 2;

// What the engine tells whoever shows the installation. The worker calls it
// while a run goes on, so an implementation hands the news to its own thread;
// the outcome calls return once the news has been taken. The engine works the
// same without any (a run with no window).
class InstallerEvents {
public:
    // A run starts on the user's request (not at start-up or after a
    // hand-over, where the window opens on the installing page).
    virtual void runStarting() = 0;
    virtual void statusChanged(InstallStatus status) = 0;
    // A position from 0 to kProgressScale.
    virtual void progressChanged(int64_t position) = 0;
    virtual void succeeded() = 0;
    virtual void failed(const InstallFailure &failure) = 0;
    virtual void cancelled() = 0;
    // An unattended run is over: nobody is there to close the window.
    virtual void unattendedRunEnded() = 0;

protected:
    ~InstallerEvents() = default;
};

} // namespace installer
