#pragma once

#include "ui/pageData.h"

#include <windows.h>

#include <cstdint>
#include <vector>

namespace testsupport {

// A window of the test thread that records what the installer sends to its
// main window: page switches, page data and close requests.
struct PageMessage {
    UINT message;
    WPARAM page;
    int64_t kind;
    int64_t value;
};

class PageMessageSink {
public:
    // Message-only by default; a top-level popup at `rect` when given, for
    // tests that need a real screen rectangle or owned popups.
    explicit PageMessageSink(const RECT *rect = nullptr);
    ~PageMessageSink();
    PageMessageSink(const PageMessageSink &) = delete;
    PageMessageSink &operator=(const PageMessageSink &) = delete;

    [[nodiscard]] HWND window() const noexcept { return window_; }
    std::vector<PageMessage> messages;

    // Page data of one kind for one page, in arrival order.
    [[nodiscard]] std::vector<int64_t> values(WPARAM page, int64_t kind) const;
    [[nodiscard]] std::vector<WPARAM> shownPages() const;
    [[nodiscard]] int closeRequests() const;

private:
    HWND window_ = nullptr;
};

// Dispatches everything queued for this thread.
void pumpMessages();
// Pumps until `handle` is signalled; false on time-out.
bool pumpUntilSignalled(HANDLE handle, DWORD timeoutMs);

} // namespace testsupport
