#pragma once

#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"
#include "framework/text/Text.h"
#include "framework/views/View.h"
#include "ui/pageData.h"

#include <dwrite.h>

namespace ui {
class MainWindow;
}

namespace ui::pages {

// Page 4: the outcome of a run that ended without an error, and FINISH.
class FinishView : public framework::views::View {
public:
    static constexpr int32_t kId = kPageFinish;

    FinishView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);

    void receiveData(framework::windows::PageData *payload) override;

    [[nodiscard]] const framework::text::Label &title() const noexcept { return *title_; }
    [[nodiscard]] const framework::text::Text &body() const noexcept { return *body_; }

private:
    MainWindow *window_;
    framework::text::Label *title_ = nullptr;
    framework::text::Text *body_ = nullptr;
    int64_t outcome_ = kOutcomeCompleted;
};

} // namespace ui::pages
