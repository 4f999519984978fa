#include "ui/pages/InstallingView.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/windows/messages.h"
#include "ui/MainWindow.h"
#include "ui/controls/ProgressBar.h"
#include "ui/controls/TextButton.h"
#include "ui/controls/elements.h"
#include "ui/layoutRules.h"

#include <array>

namespace ui::pages {

namespace {

// Status numbers sent by the worker, as strings of the catalogue.
constexpr std::array<unsigned, 5> kStatusStrings{app::ids::kStatusChecking, app::ids::kStatusConnecting,
                                                 app::ids::kStatusDownloading, app::ids::kStatusInstalling,
                                                 app::ids::kStatusCancelling};

class StopButton final : public ui::controls::TextButtonDark {
public:
    StopButton(MainWindow &window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
               float y)
        : TextButtonDark(app::loadString(app::ids::kStop), font, factory, x, y), window_(window)
    {
    }

    void click() override { window_.askToStop(); }

private:
    MainWindow &window_;
};

} // namespace

InstallingView::InstallingView(MainWindow *window, IDWriteFactory *factory,
                               const framework::text::FontDescription &font)
    : View(window, kId), window_(window)
{
    add(controls::sprite(225, 95, 34, 34, 260, 206));
    status_ =
        add(controls::label(app::loadString(app::ids::kStatusConnecting), font, factory, 28.0f, 0xE00D53, 280, 95));
    progressBar_ = make<ui::controls::ProgressBar>(font, factory, 63, 145);
    title = status_;
    make<StopButton>(*window, font, factory, 360, 390);
}

void InstallingView::receiveData(framework::windows::PageData *payload)
{
    if (payload->kind == kDataStatus) {
        if (payload->value < 0 || payload->value >= static_cast<int64_t>(kStatusStrings.size())) {
            return;
        }
        if (FAILED(status_->setText(app::loadString(kStatusStrings[static_cast<size_t>(payload->value)]).c_str()))) {
            return;
        }
        if (active) {
            window_->notifyAccessible(EVENT_OBJECT_NAMECHANGE, status_);
            ::PostMessageW(window_->handle(), framework::windows::kMsgRedraw, 0, 0);
        }
    } else if (payload->kind == kDataProgress) {
        progressBar_->setFraction(static_cast<float>(payload->value) / static_cast<float>(installer::kProgressScale));
        const ULONGLONG now = ::GetTickCount64();
        if (active && progressAnnouncementDue(now, progressAnnounced_)) {
            progressAnnounced_ = now;
            window_->notifyAccessible(EVENT_OBJECT_VALUECHANGE, progressBar_);
        }
        ::PostMessageW(window_->handle(), framework::windows::kMsgRedraw, 0, 0);
    }
}

void InstallingView::show()
{
    View::show();
    progressAnnounced_ = ::GetTickCount64();
    window_->notifyAccessible(EVENT_OBJECT_VALUECHANGE, progressBar_);
}

} // namespace ui::pages
