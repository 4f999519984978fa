#pragma once

#include "framework/windows/PageData.h"
#include "framework/windows/messages.h"

#include <windows.h>

#include <cstdint>
#include <memory>

namespace ui {

// The window's own messages and record: the window frees what the worker
// allocates, so both must name the same type.
using framework::windows::kMsgShowView;
using framework::windows::kMsgViewData;
using framework::windows::PageData;

// Page ids of the main window. 0 is the non-client overlay's, which the
// window framework gives it on its own.
enum PageId : int {
    kPageStart = 1,
    kPageChooseDirectory = 2,
    kPageInstalling = 3,
    kPageFinish = 4,
    kPageError = 5,
};

// What the installing and finish pages receive; the error page receives the
// install error id as the kind and the value it shows.
constexpr int64_t kDataStatus = 1;
constexpr int64_t kDataProgress = 2;
constexpr int64_t kDataOutcome = 1;

enum InstallOutcome : int64_t {
    kOutcomeCompleted = 0,
    kOutcomeCompletedBeforeCancel = 1,
    kOutcomeCancelled = 2,
};

enum class Delivery {
    kPost,
    // Synchronous: the page holds the record's content on return.
    kSend,
};

// Hands a new record to `page` of `window`. The window owns it once it has
// taken it; a record the window never took is freed here.
inline void deliverPageData(HWND window, Delivery delivery, int page, int64_t kind, int64_t value)
{
    // Posted without a window (/VERYSILENT), the message would go to the
    // thread; sent, it would reach nobody.
    if (delivery == Delivery::kPost ? window == nullptr : !::IsWindow(window)) {
        return;
    }
    auto data = std::make_unique<PageData>(PageData{kind, value});
    const auto wParam = static_cast<WPARAM>(page);
    const auto lParam = reinterpret_cast<LPARAM>(data.get());
    // A window destroyed before a sent record arrived never took it.
    const bool taken = delivery == Delivery::kPost
                           ? ::PostMessageW(window, kMsgViewData, wParam, lParam) != FALSE
                           : ::SendMessageW(window, kMsgViewData, wParam, lParam) == framework::windows::kViewDataTaken;
    if (taken) {
        static_cast<void>(data.release());
    }
}

inline void showPage(HWND window, int page)
{
    if (window != nullptr) {
        ::PostMessageW(window, kMsgShowView, static_cast<WPARAM>(page), 0);
    }
}

} // namespace ui
