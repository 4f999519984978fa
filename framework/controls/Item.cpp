#include "framework/controls/Item.h"

namespace framework::controls {

Item::Item(ItemKind kind, float width, float height, float x, float y)
    : width(width), height(height), x(x), y(y), kind(kind), id(nextItemId++)
{
}

Item::Item(ItemKind kind, float width, float height, float x, float y, int32_t givenId)
    : width(width), height(height), x(x), y(y), kind(kind), id(givenId)
{
    ++nextItemId;
}

void Item::mouseEnter()
{
    hovered = true;
}

void Item::mouseLeave()
{
    hovered = false;
}

void Item::mouseDown(const MouseEvent &)
{
    pressed = true;
}

void Item::mouseUp(const MouseEvent &)
{
    pressed = false;
}

void Item::click()
{
}

void Item::mouseMove(const MouseEvent &)
{
}

void Item::moveBy(float dx, float dy)
{
    x += dx;
    y += dy;
}

void Item::drawHighContrast(ID2D1RenderTarget *, ID2D1SolidColorBrush *, const base::SystemColours &)
{
}

HRESULT Item::drawComposite(ID2D1RenderTarget *, ID2D1SolidColorBrush *, ID2D1Bitmap *)
{
    return S_OK;
}

} // namespace framework::controls
