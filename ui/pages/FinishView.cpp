#include "ui/pages/FinishView.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/windows/messages.h"
#include "ui/MainWindow.h"
#include "ui/controls/TextButton.h"
#include "ui/controls/elements.h"
#include "ui/layoutRules.h"
#include "ui/pages/centring.h"

namespace ui::pages {

using framework::text::ParagraphSettings;
using framework::text::Text;
using framework::text::TextStyle;

namespace {

constexpr ParagraphSettings kCentred{DWRITE_TEXT_ALIGNMENT_CENTER, DWRITE_PARAGRAPH_ALIGNMENT_CENTER,
                                     DWRITE_WORD_WRAPPING_NO_WRAP};

class FinishButton final : public ui::controls::TextButtonRed {
public:
    FinishButton(HWND window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y)
        : TextButtonRed(app::loadString(app::ids::kFinish), font, factory, x, y), window_(window)
    {
    }

    void click() override { ::PostMessageW(window_, WM_CLOSE, 0, 0); }

private:
    HWND window_;
};

} // namespace

FinishView::FinishView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font)
    : View(window, kId), window_(window)
{
    add(controls::sprite(329, 95, 102, 71, 204, 433));
    title_ = add(controls::label(app::loadString(app::ids::kSetupFinished), font, factory, 28.0f, 0xE0E0E0,
                                 ui::finishTitleX(font.weight), 187));
    View::title = title_;
    body_ = make<Text>(app::loadString(app::ids::kFinishedText).c_str(), font, kCentred,
                       TextStyle{16.0f, 0x999999, false, false}, factory, 0.0f, 237.0f, 0.0f, 0.0f);
    const HRESULT fitted = fitToContent(*body_);
    if (FAILED(fitted)) {
        creation = fitted;
        return;
    }
    centreOn(*body_, *title_);
    auto *finish = make<FinishButton>(window->handle(), font, factory, 333, 390);
    finish->centerOn(*body_);
    initialFocus = finish;
}

void FinishView::receiveData(framework::windows::PageData *payload)
{
    if (payload->kind != kDataOutcome || payload->value == outcome_) {
        return;
    }
    unsigned titleId = 0;
    unsigned bodyId = 0;
    switch (payload->value) {
    case kOutcomeCompleted:
        titleId = app::ids::kSetupFinished;
        bodyId = app::ids::kFinishedText;
        break;
    case kOutcomeCompletedBeforeCancel:
        titleId = app::ids::kSetupFinished;
        bodyId = app::ids::kFinishedBeforeCancelText;
        break;
    case kOutcomeCancelled:
        titleId = app::ids::kSetupCancelled;
        bodyId = app::ids::kCancelledText;
        break;
    default:
        break;
    }
    if (titleId != 0) {
        static_cast<void>(title_->setText(app::loadString(titleId).c_str()));
        static_cast<void>(body_->setText(app::loadString(bodyId).c_str()));
    }
    static_cast<void>(fitToContent(*body_));
    centreOn(*body_, *title_);
    outcome_ = payload->value;
    if (active) {
        ::PostMessageW(window_->handle(), framework::windows::kMsgRedraw, 0, 0);
    }
}

} // namespace ui::pages
