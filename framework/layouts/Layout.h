#pragma once

#include "framework/controls/Item.h"

#include <memory>
#include <utility>
#include <vector>

namespace framework::windows {
class Direct2dWindow;
}

namespace framework::layouts {

// A container: owns its children, draws them in insertion order and routes
// the mouse to them.
class Layout : public controls::Item {
public:
    Layout(float width, float height, float x, float y, framework::windows::Direct2dWindow *window);
    ~Layout() override;

    void mouseDown(const controls::MouseEvent &event) override;
    void mouseUp(const controls::MouseEvent &event) override;
    void mouseMove(const controls::MouseEvent &event) override;
    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    virtual void cancelHover();
    virtual void cancelPress();
    virtual void setSize(float newWidth, float newHeight);
    // True when an interactive child (nested layouts not searched) holds the point.
    virtual bool hitTest(float px, float py);

    // Appends a child, which the layout owns from now on.
    template <typename T> T *add(std::unique_ptr<T> child)
    {
        T *raw = child.get();
        if (FAILED(child->creation) && SUCCEEDED(creation)) {
            creation = child->creation;
        }
        children.push_back(std::move(child));
        return raw;
    }
    template <typename T, typename... Args> T *make(Args &&...args)
    {
        return add(std::make_unique<T>(std::forward<Args>(args)...));
    }

    std::vector<std::unique_ptr<controls::Item>> children;
    controls::Item *pressedChild = nullptr;
    controls::Item *hoveredChild = nullptr;
    framework::windows::Direct2dWindow *window;

protected:
    Layout(float width, float height, float x, float y, framework::windows::Direct2dWindow *window, int32_t givenId);

    // Posts kMsgRedraw (whole window) to the window showing this tree.
    void postRedraw() const;
};

} // namespace framework::layouts
