#include "framework/layouts/Layout.h"

#include "framework/pictures/Sprite.h"
#include "framework/text/Text.h"
#include "framework/windows/Direct2dWindow.h"
#include "framework/windows/messages.h"

namespace framework::layouts {

Layout::Layout(float width, float height, float x, float y, framework::windows::Direct2dWindow *window)
    : controls::Item(controls::kKindLayout, width, height, x, y), window(window)
{
}

Layout::Layout(float width, float height, float x, float y, framework::windows::Direct2dWindow *window, int32_t givenId)
    : controls::Item(controls::kKindLayout, width, height, x, y, givenId), window(window)
{
}

Layout::~Layout()
{
    for (auto &child : children) {
        child.reset();
    }
    children.clear();
}

void Layout::postRedraw() const
{
    if (window != nullptr && window->handle() != nullptr) {
        ::PostMessageW(window->handle(), framework::windows::kMsgRedraw, 0, 0);
    }
}

void Layout::mouseMove(const controls::MouseEvent &event)
{
    if (hoveredChild != nullptr && hoveredChild->contains(event.x, event.y)) {
        hoveredChild->mouseMove(event);
        return;
    }
    controls::Item *changed = nullptr;
    if (hoveredChild != nullptr) {
        hoveredChild->mouseLeave();
        changed = hoveredChild;
        hoveredChild = nullptr;
    }
    // No early exit: overlapping hoverable children all get mouseEnter and
    // the last one in drawing order is the one remembered.
    for (auto &child : children) {
        if (!child->contains(event.x, event.y) || !controls::canBeHovered(child->kind)) {
            continue;
        }
        child->mouseEnter();
        hoveredChild = child.get();
        changed = child.get();
        if (child->kind == controls::kKindLayout) {
            child->mouseMove(event);
        }
    }
    // A nested layout asks for its own redraw when one of its children changes.
    if (changed != nullptr && changed->kind != controls::kKindLayout) {
        postRedraw();
    }
}

void Layout::mouseDown(const controls::MouseEvent &event)
{
    // A press acts on what is under it, moved over or not: a page can change
    // under a pointer at rest, and a leave can come between the last move
    // and the press.
    if (hoveredChild == nullptr || !hoveredChild->contains(event.x, event.y)) {
        mouseMove(event);
    }
    if (hoveredChild == nullptr) {
        return;
    }
    controls::Item *child = hoveredChild;
    if (child->kind == controls::kKindLayout) {
        child->pressed = true;
    }
    child->mouseDown(event);
    pressedChild = child;
    if (child->kind != controls::kKindLayout) {
        postRedraw();
    }
}

void Layout::mouseUp(const controls::MouseEvent &event)
{
    if (pressedChild == nullptr) {
        return;
    }
    controls::Item *child = pressedChild;
    if (child->kind == controls::kKindLayout) {
        child->pressed = false;
    }
    child->mouseUp(event);
    // Cleared before the click: a click may run a modal loop (a message box)
    // that feeds this layout more mouse messages.
    pressedChild = nullptr;
    if (child->contains(event.x, event.y)) {
        child->click();
        if (child->accessibleChecked() && window != nullptr) {
            window->notifyAccessible(EVENT_OBJECT_STATECHANGE, child);
        }
    }
    if (child->kind != controls::kKindLayout && event.x >= 0 && event.y >= 0) {
        postRedraw();
    }
}

void Layout::cancelHover()
{
    if (hoveredChild == nullptr) {
        return;
    }
    controls::Item *child = hoveredChild;
    if (child->kind == controls::kKindLayout) {
        if (auto *nested = dynamic_cast<Layout *>(child)) {
            nested->cancelHover();
        }
    }
    child->mouseLeave();
    hoveredChild = nullptr;
    if (child->kind != controls::kKindLayout) {
        postRedraw();
    }
}

void Layout::cancelPress()
{
    if (pressedChild == nullptr) {
        return;
    }
    // Released outside every element, so no click follows.
    pressedChild->mouseUp(controls::MouseEvent{-1.0f, -1.0f, 0, 0});
    pressedChild = nullptr;
}

void Layout::setSize(float newWidth, float newHeight)
{
    width = newWidth;
    height = newHeight;
}

bool Layout::hitTest(float px, float py)
{
    for (auto &child : children) {
        if (child->interactive && child->contains(px, py)) {
            return true;
        }
    }
    return false;
}

void Layout::moveBy(float dx, float dy)
{
    controls::Item::moveBy(dx, dy);
    for (auto &child : children) {
        child->moveBy(dx, dy);
    }
}

HRESULT Layout::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas)
{
    for (auto &child : children) {
        if (!child->visible) {
            continue;
        }
        switch (child->kind) {
        case controls::kKindSprite:
        case controls::kKindBorderSprite:
        case controls::kKindSpriteButton:
        case controls::kKindBorderSpriteButton:
            if (auto *sprite = dynamic_cast<pictures::Sprite *>(child.get())) {
                sprite->draw(renderTarget, atlas);
            }
            break;
        case controls::kKindLayout:
        case controls::kKindComposite:
            child->drawComposite(renderTarget, brush, atlas);
            break;
        case controls::kKindUrlButton:
        case controls::kKindText:
        case controls::kKindLabel:
        case controls::kKindTextInput:
        case controls::kKindComplexText:
            if (auto *text = dynamic_cast<text::Text *>(child.get())) {
                text->draw(renderTarget, brush);
            }
            break;
        default:
            break;
        }
    }
    return S_OK;
}

} // namespace framework::layouts
