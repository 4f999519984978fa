#pragma once

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

namespace framework::controls {

struct Bounds {
    float x;
    float y;
    float width;
    float height;
};

// Indices of `elements` in reading order: rows from top to bottom, each row
// from left to right. An element joins a row when its vertical middle lies
// within the top and bottom of the row's first (topmost) element.
[[nodiscard]] std::vector<size_t> readingOrder(std::span<const Bounds> elements);

// The position Tab (or Shift+Tab, `backwards`) moves to among `count`
// elements from `current` (nullopt: none has the focus), wrapping around;
// nullopt when there is nothing to move to.
[[nodiscard]] std::optional<size_t> stepFocus(size_t count, std::optional<size_t> current, bool backwards) noexcept;

} // namespace framework::controls
