#include "framework/controls/focusOrder.h"

#include <algorithm>
#include <numeric>

namespace framework::controls {

std::vector<size_t> readingOrder(std::span<const Bounds> elements)
{
    std::vector<size_t> byTop(elements.size());
    std::iota(byTop.begin(), byTop.end(), size_t{0});
    std::stable_sort(byTop.begin(), byTop.end(), [&](size_t a, size_t b) { return elements[a].y < elements[b].y; });

    std::vector<size_t> order;
    order.reserve(elements.size());
    std::vector<bool> placed(elements.size(), false);
    for (const size_t first : byTop) {
        if (placed[first]) {
            continue;
        }
        const float rowTop = elements[first].y;
        const float rowBottom = rowTop + elements[first].height;
        std::vector<size_t> row;
        for (const size_t candidate : byTop) {
            const float middle = elements[candidate].y + elements[candidate].height / 2.0f;
            if (!placed[candidate] && rowTop <= middle && middle <= rowBottom) {
                row.push_back(candidate);
            }
        }
        if (row.empty()) {
            // An element of no height whose top is its middle still forms a row.
            row.push_back(first);
        }
        std::stable_sort(row.begin(), row.end(), [&](size_t a, size_t b) { return elements[a].x < elements[b].x; });
        for (const size_t index : row) {
            placed[index] = true;
            order.push_back(index);
        }
    }
    return order;
}

std::optional<size_t> stepFocus(size_t count, std::optional<size_t> current, bool backwards) noexcept
{
    if (count == 0) {
        return std::nullopt;
    }
    if (!current || *current >= count) {
        return backwards ? count - 1 : 0;
    }
    if (backwards) {
        return *current == 0 ? count - 1 : *current - 1;
    }
    return *current + 1 == count ? 0 : *current + 1;
}

} // namespace framework::controls
