#include "ui/pages/centring.h"

#include "ui/layoutRules.h"

namespace ui::pages {

HRESULT fitToContent(framework::text::Text &text)
{
    if (!text.layout) {
        return E_UNEXPECTED;
    }
    HRESULT result = text.layout->SetMaxWidth(text.metrics.width);
    if (SUCCEEDED(result)) {
        result = text.layout->SetMaxHeight(text.metrics.height);
    }
    if (SUCCEEDED(result)) {
        result = text.layout->GetMetrics(&text.metrics);
    }
    text.width = text.metrics.width;
    text.height = text.metrics.height;
    return result;
}

void centreOn(framework::controls::Item &item, const framework::controls::Item &reference)
{
    item.x = ui::centredX(item.width, reference.x, reference.width);
}

} // namespace ui::pages
