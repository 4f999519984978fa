#pragma once

#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"
#include "framework/views/View.h"
#include "installer/PageData.h"

#include <dwrite.h>

namespace application::controls {
class ProgressBar;
}

namespace installer {

class MainWindow;
struct InstallOptions;

// Page 3: status line, progress bar and STOP while the worker runs.
class InstallingView : public application::controls::views::View {
public:
    static constexpr int32_t kId = kPageInstalling;

    InstallingView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);

    void receiveData(framework::windows::PageData *payload) override;

    [[nodiscard]] const framework::controls::text::Label &status() const noexcept { return *status_; }
    [[nodiscard]] const application::controls::ProgressBar &progressBar() const noexcept { return *progressBar_; }

private:
    MainWindow *window_;
    framework::controls::text::Label *status_ = nullptr;
    application::controls::ProgressBar *progressBar_ = nullptr;
};

// The stop question of the STOP button and of closing the window: on Yes
// the status line says the installation is being cancelled and the worker
// is asked to stop. Any other answer leaves the installation running.
void askToStopInstallation(HWND window, InstallOptions &options);

} // namespace installer
