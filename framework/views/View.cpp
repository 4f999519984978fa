#include "framework/views/View.h"

#include "framework/buttons/SystemButtons.h"
#include "framework/windows/Direct2dWindow.h"
#include "framework/windows/messages.h"

namespace framework::views {

namespace {

// The window's outer size in DIPs, so that a view covers all of it.
struct DipSize {
    float width;
    float height;
};

DipSize windowSizeInDips(const framework::windows::Direct2dWindow *window)
{
    if (window == nullptr) {
        return {0.0f, 0.0f};
    }
    float pixelWidth = static_cast<float>(window->getPixelWidth());
    float pixelHeight = static_cast<float>(window->getPixelHeight());
    RECT bounds = {};
    if (window->handle() != nullptr && ::GetWindowRect(window->handle(), &bounds)) {
        pixelWidth = static_cast<float>(bounds.right - bounds.left);
        pixelHeight = static_cast<float>(bounds.bottom - bounds.top);
    }
    return {pixelWidth / window->getScaleX(), pixelHeight / window->getScaleY()};
}

} // namespace

View::View(framework::windows::Direct2dWindow *window, int32_t id)
    : Layout(windowSizeInDips(window).width, windowSizeInDips(window).height, 0.0f, 0.0f, window, id)
{
}

void View::show()
{
    active = true;
}

void View::hide()
{
    active = false;
}

void View::receiveData(framework::windows::PageData *)
{
}

NonClientAreaView::NonClientAreaView(framework::windows::Direct2dWindow *window, bool withMinimizeButton)
    : View(window, 0)
{
    HWND handle = window != nullptr ? window->handle() : nullptr;
    if (withMinimizeButton) {
        make<buttons::SystemButtonMinimize>(handle, width - 66.0f, 7.0f);
    }
    make<buttons::SystemButtonClose>(handle, width - 39.0f, 7.0f);
}

void NonClientAreaView::setSize(float newWidth, float newHeight)
{
    const float dx = newWidth - width;
    width = newWidth;
    height = newHeight;
    for (auto &child : children) {
        child->moveBy(dx, 0.0f);
    }
    postRedraw();
}

} // namespace framework::views
