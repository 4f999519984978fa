#include "framework/text/textHitTest.h"

#include <vector>

namespace framework::text {

namespace {

struct ClusterBox {
    uint32_t position;
    uint32_t length;
    TextBox box;
};

// Every cluster of the layout with its box, line by line.
HRESULT clusterBoxes(IDWriteTextLayout *layout, std::vector<ClusterBox> &boxes, std::vector<TextBox> &lineBoxes)
{
    UINT32 lineCount = 0;
    layout->GetLineMetrics(nullptr, 0, &lineCount);
    std::vector<DWRITE_LINE_METRICS> lines(lineCount);
    HRESULT result = layout->GetLineMetrics(lines.data(), lineCount, &lineCount);
    if (FAILED(result)) {
        return result;
    }
    UINT32 clusterCount = 0;
    layout->GetClusterMetrics(nullptr, 0, &clusterCount);
    std::vector<DWRITE_CLUSTER_METRICS> clusters(clusterCount);
    if (clusterCount > 0 && FAILED(result = layout->GetClusterMetrics(clusters.data(), clusterCount, &clusterCount))) {
        return result;
    }
    DWRITE_TEXT_METRICS text = {};
    if (FAILED(result = layout->GetMetrics(&text))) {
        return result;
    }
    float top = text.top;
    size_t cluster = 0;
    uint32_t position = 0;
    for (const DWRITE_LINE_METRICS &line : lines) {
        const size_t first = cluster;
        float lineWidth = 0;
        uint32_t consumed = 0;
        while (cluster < clusters.size() && consumed < line.length) {
            lineWidth += clusters[cluster].width;
            consumed += clusters[cluster].length;
            ++cluster;
        }
        float left = 0;
        switch (layout->GetTextAlignment()) {
        case DWRITE_TEXT_ALIGNMENT_CENTER:
            left = (text.layoutWidth - lineWidth) / 2;
            break;
        case DWRITE_TEXT_ALIGNMENT_TRAILING:
            left = text.layoutWidth - lineWidth;
            break;
        default:
            break;
        }
        lineBoxes.push_back(TextBox{left, top, lineWidth, line.height});
        float x = left;
        for (size_t i = first; i < cluster; ++i) {
            boxes.push_back(ClusterBox{position, clusters[i].length, TextBox{x, top, clusters[i].width, line.height}});
            x += clusters[i].width;
            position += clusters[i].length;
        }
        top += line.height;
    }
    return S_OK;
}

} // namespace

HRESULT textPositionAt(IDWriteTextLayout *layout, float x, float y, uint32_t &position)
{
    BOOL trailing = FALSE;
    BOOL inside = FALSE;
    DWRITE_HIT_TEST_METRICS hit = {};
    HRESULT result = layout->HitTestPoint(x, y, &trailing, &inside, &hit);
    if (result != E_NOTIMPL) {
        if (SUCCEEDED(result)) {
            position = hit.textPosition;
        }
        return result;
    }
    std::vector<ClusterBox> boxes;
    std::vector<TextBox> lines;
    if (FAILED(result = clusterBoxes(layout, boxes, lines))) {
        return result;
    }
    if (boxes.empty()) {
        position = 0;
        return S_OK;
    }
    // The nearest line, then the nearest cluster on it.
    size_t lineIndex = 0;
    while (lineIndex + 1 < lines.size() && y >= lines[lineIndex].top + lines[lineIndex].height) {
        ++lineIndex;
    }
    const float lineTop = lines[lineIndex].top;
    const ClusterBox *nearest = nullptr;
    for (const ClusterBox &box : boxes) {
        if (box.box.top != lineTop) {
            continue;
        }
        if (nearest == nullptr || x >= box.box.left) {
            nearest = &box;
        }
        if (x < box.box.left + box.box.width) {
            break;
        }
    }
    position = nearest != nullptr ? nearest->position : boxes.back().position;
    return S_OK;
}

HRESULT textPositionBox(IDWriteTextLayout *layout, uint32_t position, TextBox &box)
{
    FLOAT x = 0;
    FLOAT y = 0;
    DWRITE_HIT_TEST_METRICS hit = {};
    HRESULT result = layout->HitTestTextPosition(position, FALSE, &x, &y, &hit);
    if (result != E_NOTIMPL) {
        if (SUCCEEDED(result)) {
            box = TextBox{hit.left, hit.top, hit.width, hit.height};
        }
        return result;
    }
    std::vector<ClusterBox> boxes;
    std::vector<TextBox> lines;
    if (FAILED(result = clusterBoxes(layout, boxes, lines))) {
        return result;
    }
    for (const ClusterBox &cluster : boxes) {
        if (cluster.position <= position && position < cluster.position + cluster.length) {
            box = cluster.box;
            return S_OK;
        }
    }
    return E_INVALIDARG;
}

} // namespace framework::text
