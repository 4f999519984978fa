#pragma once

#include <cstdint>

namespace framework::windows {

// The payload of kMsgViewData. The sender allocates it in a std::unique_ptr
// and releases it only into the PostMessageW/SendMessageW call; the window
// deletes it after the page has read it.
struct PageData {
    int64_t kind;
    int64_t value;
};

} // namespace framework::windows
