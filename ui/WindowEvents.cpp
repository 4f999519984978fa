#include "ui/WindowEvents.h"

#include "ui/pageData.h"

namespace ui {
namespace {

struct PopupSearch {
    HWND owner;
    HWND popup;
};

BOOL CALLBACK findEnabledPopup(HWND window, LPARAM parameter) noexcept
{
    auto *search = reinterpret_cast<PopupSearch *>(parameter);
    if (window != search->owner && ::GetWindow(window, GW_OWNER) == search->owner && ::IsWindowEnabled(window) &&
        ::IsWindowVisible(window)) {
        search->popup = window;
        return FALSE;
    }
    return TRUE;
}

// The enabled popup owned by `owner`, if one is open.
HWND enabledPopup(HWND owner)
{
    // Without an enabled popup, GetWindow answers with the window itself;
    // some systems (Wine) answer nothing at all, so the owner's thread is
    // searched as well.
    const HWND popup = ::GetWindow(owner, GW_ENABLEDPOPUP);
    if (popup != nullptr && popup != owner) {
        return popup;
    }
    PopupSearch search{owner, nullptr};
    ::EnumThreadWindows(::GetWindowThreadProcessId(owner, nullptr), findEnabledPopup,
                        reinterpret_cast<LPARAM>(&search));
    return search.popup;
}

} // namespace

void WindowEvents::runStarting()
{
    showPage(window_, kPageInstalling);
}

void WindowEvents::statusChanged(installer::InstallStatus status)
{
    deliverPageData(window_, Delivery::kPost, kPageInstalling, kDataStatus, status);
}

void WindowEvents::progressChanged(int64_t position)
{
    deliverPageData(window_, Delivery::kPost, kPageInstalling, kDataProgress, position);
}

void WindowEvents::succeeded()
{
    closePopup();
    deliverPageData(window_, Delivery::kSend, kPageFinish, kDataOutcome, kOutcomeCompleted);
    showPage(window_, kPageFinish);
}

void WindowEvents::failed(const installer::InstallFailure &failure)
{
    closePopup();
    deliverPageData(window_, Delivery::kSend, kPageError, failure.id, failure.pageValue());
    showPage(window_, kPageError);
}

void WindowEvents::cancelled()
{
    closePopup();
    deliverPageData(window_, Delivery::kSend, kPageFinish, kDataOutcome, kOutcomeCancelled);
    showPage(window_, kPageFinish);
}

void WindowEvents::unattendedRunEnded()
{
    ::PostMessageW(window_, WM_CLOSE, 0, 0);
}

void WindowEvents::closePopup() const
{
    if (window_ == nullptr) {
        return;
    }
    if (const HWND popup = enabledPopup(window_)) {
        ::PostMessageW(popup, WM_CLOSE, 0, 0);
    }
}

} // namespace ui
