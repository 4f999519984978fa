#include "ui/pages/ErrorPageView.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/resources/colourManagement.h"
#include "framework/windows/messages.h"
#include "installer/errorModel.h"
#include "kestrune/config.h"
#include "installer/launching.h"
#include "ui/MainWindow.h"
#include "ui/controls/TextButton.h"
#include "ui/controls/elements.h"
#include "ui/pages/centring.h"

#include <shellapi.h>

#include <limits>

namespace ui::pages {

using framework::text::ComplexText;
using framework::text::ParagraphSettings;
using framework::text::TextRange;
using framework::text::TextStyle;

namespace {

constexpr ParagraphSettings kCentred{DWRITE_TEXT_ALIGNMENT_CENTER, DWRITE_PARAGRAPH_ALIGNMENT_CENTER,
                                     DWRITE_WORD_WRAPPING_NO_WRAP};
constexpr float kBodySize = 16.0f;
constexpr float kTitleGap = 1.0f;
constexpr float kBodyGap = 10.0f;
constexpr float kButtonsTop = 390.0f;

class RetryButton final : public ui::controls::TextButtonRed {
public:
    RetryButton(MainWindow &window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
                float y)
        : TextButtonRed(app::loadString(app::ids::kRetry), font, factory, x, y), window_(window)
    {
    }

    void click() override { window_.beginInstall(); }

private:
    MainWindow &window_;
};

class ExitButton final : public ui::controls::TextButtonDark {
public:
    ExitButton(HWND window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y)
        : TextButtonDark(app::loadString(app::ids::kExit), font, factory, x, y), window_(window)
    {
    }

    void click() override { ::PostMessageW(window_, WM_CLOSE, 0, 0); }

private:
    HWND window_;
};

void openSiteHome(HWND)
{
    (void)installer::openInBrowser(L"https://" KESTRUNE_SITE_HOST L"/", SW_SHOWNORMAL);
}

uint32_t managedColour(uint32_t colour)
{
    uint32_t managed = colour;
    return framework::resources::convertColours(&colour, &managed, 1) ? managed : colour;
}

} // namespace

ErrorPageView::ErrorPageView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font)
    : View(window, kId), window_(window)
{
    emblem_ = add(controls::sprite(329, 95, 100, 100, 316, 625));
    title_ = add(controls::label(L"", font, factory, 28.0f, 0xE06F13, 0, emblem_->y + emblem_->height + kTitleGap));
    centreOn(*title_, *emblem_);
    View::title = title_;
    alert = true;
    body_ = make<ComplexText>(window->handle(), L"", font, kCentred, TextStyle{kBodySize, 0x999999, false, false},
                              factory, 0.0f, title_->y + title_->height + kBodyGap, 0.0f, 0.0f);
    // The link's underline may reach below the fitted box.
    body_->drawOptions = D2D1_DRAW_TEXT_OPTIONS_NONE;
    const HRESULT fitted = fitToContent(*body_);
    if (FAILED(fitted)) {
        creation = fitted;
        return;
    }
    centreOn(*body_, *title_);
    auto *retry = make<RetryButton>(*window, font, factory, 0, kButtonsTop);
    retry->setRight(emblem_->x);
    initialFocus = retry;
    make<ExitButton>(window->handle(), font, factory, emblem_->x + emblem_->width, kButtonsTop);
}

void ErrorPageView::receiveData(framework::windows::PageData *payload)
{
    // A second failure with the same id keeps the texts of the first.
    if (payload->kind == shownError_) {
        return;
    }
    shownError_ = payload->kind;
    if (payload->kind < 0 || payload->kind > std::numeric_limits<uint16_t>::max()) {
        return;
    }
    const std::optional<installer::ErrorTexts> texts = installer::errorTexts(
        static_cast<uint16_t>(payload->kind), payload->value, window_->commands().options().destination);
    if (!texts) {
        return;
    }
    static_cast<void>(title_->setText(texts->title.c_str()));
    if (SUCCEEDED(body_->setText(texts->text.c_str())) && texts->linkHost) {
        addSiteLink(*texts->linkHost);
    }
    centreOn(*title_, *emblem_);
    static_cast<void>(fitToContent(*body_));
    centreOn(*body_, *title_);
    if (active) {
        ::PostMessageW(window_->handle(), framework::windows::kMsgRedraw, 0, 0);
    }
}

void ErrorPageView::addSiteLink(const std::wstring &host)
{
    const size_t position = body_->text.find(host);
    if (host.empty() || position == std::wstring::npos) {
        return;
    }
    TextRange link;
    link.start = static_cast<uint32_t>(position);
    link.length = static_cast<uint32_t>(host.size());
    link.normal = TextStyle{kBodySize, managedColour(0xD7D7D7), true, false};
    link.hover = TextStyle{kBodySize, managedColour(0xFFFFFF), true, false};
    link.onClick = openSiteHome;
    body_->ranges.push_back(link);
    body_->applyLook(link, link.normal);
}

} // namespace ui::pages
