#pragma once

#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"
#include "framework/views/View.h"
#include "ui/pageData.h"

#include <dwrite.h>

#include <optional>

namespace ui::controls {
class ProgressBar;
}

namespace ui {
class MainWindow;
}

namespace ui::pages {

// Page 3: status line, progress bar and STOP while the worker runs.
class InstallingView : public framework::views::View {
public:
    static constexpr int32_t kId = kPageInstalling;

    InstallingView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);

    void receiveData(framework::windows::PageData *payload) override;
    // Tells assistive technology the progress as the page comes.
    void show() override;

    [[nodiscard]] const framework::text::Label &status() const noexcept { return *status_; }
    [[nodiscard]] const ui::controls::ProgressBar &progressBar() const noexcept { return *progressBar_; }

private:
    MainWindow *window_;
    framework::text::Label *status_ = nullptr;
    ui::controls::ProgressBar *progressBar_ = nullptr;
    std::optional<ULONGLONG> progressAnnounced_;
};

} // namespace ui::pages
