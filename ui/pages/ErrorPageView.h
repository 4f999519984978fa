#pragma once

#include "framework/text/ComplexText.h"
#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"
#include "framework/views/View.h"
#include "ui/pageData.h"

#include <dwrite.h>

#include <cstdint>

namespace ui {
class MainWindow;
}

namespace ui::pages {

// Page 5: title and explanation of an install error, RETRY and EXIT.
class ErrorPageView : public framework::views::View {
public:
    static constexpr int32_t kId = kPageError;

    ErrorPageView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);

    void receiveData(framework::windows::PageData *payload) override;

    [[nodiscard]] const framework::text::Label &title() const noexcept { return *title_; }
    [[nodiscard]] const framework::text::ComplexText &body() const noexcept { return *body_; }

private:
    void addSiteLink(const std::wstring &host);

    MainWindow *window_;
    framework::controls::Item *emblem_ = nullptr;
    framework::text::Label *title_ = nullptr;
    framework::text::ComplexText *body_ = nullptr;
    int64_t shownError_ = -1;
};

} // namespace ui::pages
