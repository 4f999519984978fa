#pragma once

#include "framework/controls/Item.h"
#include "framework/renderers/Direct2dDxgiRenderer.h"
#include "framework/resources/Image.h"
#include "framework/views/View.h"
#include "framework/windows/BaseWindow.h"
#include "framework/windows/PageData.h"

#include <d2d1.h>
#include <dwrite.h>
#include <wrl/client.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace framework::accessibility {
class WindowAccessible;
}

namespace framework::windows {

inline constexpr int kAtlasImageId = 101;
// The colour of plain window background in the frame pictures.
inline constexpr COLORREF kDragBackgroundColour = RGB(0x1C, 0x1A, 0x1A);

// A borderless per-pixel-alpha window drawn entirely with Direct2D into an
// off-screen surface and handed to Windows with UpdateLayeredWindowIndirect.
// It owns its pages, routes the mouse into them, is dragged by any plain
// background pixel and scales with the monitor's DPI.
class Direct2dWindow : public TopLevelWindow {
public:
    Direct2dWindow(Direct2dWindow *parent, const wchar_t *title, unsigned width, unsigned height,
                   int activeBackgroundId, int inactiveBackgroundId);
    Direct2dWindow(const Direct2dWindow &) = delete;
    Direct2dWindow &operator=(const Direct2dWindow &) = delete;

    virtual const wchar_t *className() const;
    virtual LRESULT handleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Null: the whole window; otherwise only that element over the last frame.
    virtual HRESULT render(framework::controls::Item *item);
    virtual HRESULT onSize(UINT newPixelWidth, UINT newPixelHeight);
    virtual HRESULT onDpiChanged(UINT dpiX, UINT dpiY, const RECT *suggestedRect);
    virtual HRESULT onMonitorChanged(HMONITOR newMonitor);
    virtual void onMouseMove(WPARAM keyFlags, float x, float y);
    virtual void onMouseDown(WPARAM keyFlags, float x, float y);
    virtual void onMouseUp(WPARAM keyFlags, float x, float y);
    virtual void showView(int32_t id);
    // Takes ownership of the payload.
    virtual void deliverViewData(int32_t id, framework::windows::PageData *payload);
    // True for client area, false where the window can be dragged.
    virtual bool hitTest(int pixelX, int pixelY);
    virtual void onActivate();
    virtual void onDeactivate();
    virtual void onMouseLeave();
    virtual void onCaptureLost();
    virtual void close();
    virtual void onDestroyed();
    virtual void onEscape();
    // Called after each step of `initialize`, so that the start-up can be
    // timed from above; does nothing here.
    virtual void onStartupStep(const wchar_t *) noexcept {}
    virtual ~Direct2dWindow();
    // `initialize` takes the factory and device from `prepared` (which must
    // outlive the call) instead of making them.
    void usePreparedDevice(framework::renderers::PreparedDevice &prepared) noexcept { preparedDevice = &prepared; }
    // Creates nonClientView and the pages, appends them to views (or, for
    // pages the first frame does not show, to laterViews) and sets currentView.
    virtual HRESULT createContent(intptr_t argument) = 0;
    // Makes the pages left in laterViews: once the first frame is on the
    // screen, or at once when one of them is asked for. The first failure, or
    // S_OK (also when none are left).
    HRESULT createLaterViews() noexcept;
    // The page with that id, made now if it was left for later; null if none.
    [[nodiscard]] views::View *findView(int32_t id) noexcept;
    // The first failure among the elements createContent made, or S_OK.
    [[nodiscard]] HRESULT contentCreation() const noexcept;
    virtual void destroyContent();

    // Called once after construction; the creator then shows the window.
    [[nodiscard]] HRESULT initialize(intptr_t argument);
    // Fills `image` from the picture store and makes its device bitmap.
    [[nodiscard]] HRESULT loadImage(framework::resources::Image &image, int id);

    [[nodiscard]] HWND handle() const noexcept { return hwnd; }
    [[nodiscard]] float getScaleX() const noexcept { return scaleX; }
    [[nodiscard]] float getScaleY() const noexcept { return scaleY; }
    [[nodiscard]] UINT getPixelWidth() const noexcept { return pixelWidth; }
    [[nodiscard]] UINT getPixelHeight() const noexcept { return pixelHeight; }
    [[nodiscard]] float getWidth() const noexcept { return width; }
    [[nodiscard]] float getHeight() const noexcept { return height; }
    [[nodiscard]] bool isActive() const noexcept { return active; }
    [[nodiscard]] bool drawsHighContrast() const noexcept { return highContrast; }
    [[nodiscard]] IDWriteFactory *getTextFactory() const noexcept { return textFactory.Get(); }
    [[nodiscard]] views::View *getCurrentView() const noexcept { return currentView; }
    [[nodiscard]] COLORREF getBackgroundKey() const noexcept { return backgroundKey; }
    [[nodiscard]] framework::renderers::Direct2dDxgiRenderer &getRenderer() noexcept { return renderer; }

    // The elements the keyboard moves through, system buttons and page
    // together, in reading order.
    [[nodiscard]] std::vector<controls::Item *> actionableItems() const;
    [[nodiscard]] controls::Item *focusedItem() const noexcept { return focused; }
    // The focus ring shows once the keyboard has been used, as in Windows.
    [[nodiscard]] bool focusCuesShown() const noexcept { return focusCues; }
    // Null: nothing has the focus.
    void setFocusedItem(controls::Item *item);
    // What assistive technology sees: every element that is read or used,
    // system buttons and page together, in reading order. Its child ids are
    // the positions in this list plus one.
    [[nodiscard]] std::vector<controls::Item *> accessibleItems() const;
    // CHILDID_SELF (0) for null or an element not on show.
    [[nodiscard]] LONG accessibleChildId(const controls::Item *item) const;
    // A WinEvent for an element of the client area (null: the area itself).
    void notifyAccessible(DWORD event, const controls::Item *item) const;
    // The default action, run later from the message loop: an assistive
    // technology's call returns before a click's message box opens.
    void postActivation(controls::Item *item) const;
    [[nodiscard]] const std::wstring &getTitle() const noexcept { return title; }
    // A message box reads as a dialog, other windows as a client area.
    [[nodiscard]] virtual bool isDialog() const noexcept { return false; }

protected:
    HWND hwnd = nullptr;
    float scaleX = 1.0f;
    float scaleY = 1.0f;
    bool active = false;
    HMONITOR monitor = nullptr;
    HCURSOR cursor = nullptr;
    bool mouseTracked = false;
    bool leftButtonDown = false;
    framework::renderers::Direct2dDxgiRenderer renderer;
    Microsoft::WRL::ComPtr<ID2D1SolidColorBrush> brush;
    Microsoft::WRL::ComPtr<IDWriteFactory> textFactory;
    UINT pixelWidth = 0;
    UINT pixelHeight = 0;
    float width;
    float height;
    COLORREF backgroundKey = CLR_INVALID;
    framework::resources::Image activeBackground;
    framework::resources::Image inactiveBackground;
    framework::resources::Image atlas;
    framework::renderers::PreparedDevice *preparedDevice = nullptr;
    std::vector<std::unique_ptr<views::View>> views;
    std::vector<std::function<std::unique_ptr<views::View>()>> laterViews;
    views::View *currentView = nullptr;
    std::unique_ptr<views::NonClientAreaView> nonClientView;
    bool firstActivationPending = true;
    std::wstring title;
    int activeBackgroundId;
    int inactiveBackgroundId;
    Direct2dWindow *parent;
    // Made on the first WM_GETOBJECT for the client area, so that a window
    // nobody reads pays nothing for it.
    Microsoft::WRL::ComPtr<accessibility::WindowAccessible> accessible;

    controls::Item *focused = nullptr;
    bool focusCues = false;
    // Read when the window is made and again when Windows says the settings
    // or the system colours changed.
    bool highContrast = false;

    // Tab, Shift+Tab, Enter and Space; true when the key was handled.
    bool onKey(WPARAM key, bool repeated);
    // After the keyboard focus moved or an element was activated by key.
    virtual void onFocusChanged(controls::Item *item);
    virtual void onActivated(controls::Item *item);
    void drawFocusRing(ID2D1RenderTarget *target);
    // Everything read or used, in the system colours, without pictures.
    void drawHighContrast(ID2D1RenderTarget *target);
    // The events that tell a screen reader a page is on show.
    void announcePage();

    // After D2DERR_RECREATE_TARGET: a new device, the target's DPI and the
    // pictures and brush made again on it.
    HRESULT recoverDevice();

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    HRESULT createWindow();
    HRESULT loadDeviceResources();
    void releaseDeviceResources();
    void applyTargetDpi();
    void postRedraw();
};

} // namespace framework::windows
