#pragma once

#include "framework/layouts/Layout.h"
#include "framework/windows/PageData.h"

namespace framework::views {

// A page of a window, found by the id its window gives it; covers the whole
// window.
class View : public framework::layouts::Layout {
public:
    View(framework::windows::Direct2dWindow *window, int32_t id);

    virtual void show();
    virtual void hide();
    // The payload stays the window's, which deletes it after the call.
    virtual void receiveData(framework::windows::PageData *payload);

    bool active = false;
    // The page's main button, which has the keyboard focus when the page is
    // shown; null when nothing starts focused.
    controls::Item *initialFocus = nullptr;
    // The text that names the page, announced when the page is shown; an
    // alert page (an error) is announced as an alert.
    controls::Item *title = nullptr;
    bool alert = false;
};

// The system buttons above every page, anchored to the window's right edge.
class NonClientAreaView : public View {
public:
    NonClientAreaView(framework::windows::Direct2dWindow *window, bool withMinimizeButton);

    void setSize(float newWidth, float newHeight) override;
};

} // namespace framework::views
