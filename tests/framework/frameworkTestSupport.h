#pragma once

#include "framework/layouts/Layout.h"
#include "framework/views/View.h"
#include "framework/windows/Direct2dWindow.h"
#include "framework/text/FontDescription.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace frameworktest {

// Colours of the test pictures (0xRRGGBB, opaque).
inline constexpr uint32_t kFrameEdgeActive = 0x3050A0;
inline constexpr uint32_t kFrameEdgeInactive = 0x505050;
// As 0xRRGGBB: the COLORREF 0x1A1A1C that always counts as drag background.
inline constexpr uint32_t kPlainBackground = 0x1C1A1A;
inline constexpr uint32_t kInactiveBackground = 0x222226;
// The message-box frame's background, recognised only as the sampled key.
inline constexpr uint32_t kBoxBackground = 0x203040;
inline constexpr uint32_t kMinimizeNormal = 0xC02020;
inline constexpr uint32_t kMinimizeHover = 0x20C020;
inline constexpr uint32_t kMinimizePressed = 0x2020C0;
inline constexpr uint32_t kCloseNormal = 0xC0C020;
inline constexpr uint32_t kCloseHover = 0x20C0C0;
inline constexpr uint32_t kClosePressed = 0xC020C0;
// A 60 x 40 nine-slice cell at (10, 300) of the atlas: borders 21/21/16/16,
// left edge, right edge, top/bottom edge and centre in different colours.
inline constexpr uint32_t kCellLeft = 0xE08020;
inline constexpr uint32_t kCellRight = 0x8020E0;
inline constexpr uint32_t kCellEdge = 0x208060;
inline constexpr uint32_t kCellCentre = 0xF0F0F0;

// Straight-alpha 0xAARRGGBB pixels encoded as PNG with WIC.
std::string encodePng(UINT width, UINT height, const std::vector<uint32_t> &pixels);
// Writes premultiplied BGRA pixels (as read back from a surface) to a PNG file.
HRESULT savePng(const std::wstring &path, UINT width, UINT height, const std::vector<uint32_t> &pixels);

// Pictures of known content for ids 101 to 105 in front of the window.
void useTestPictures();
// Dispatches the thread's messages for a while.
void pump(DWORD milliseconds);
// COLORREF of a 0xRRGGBB colour.
[[nodiscard]] constexpr COLORREF colorRef(uint32_t rgb) noexcept
{
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

// The pixels of the window's surface, premultiplied BGRA, row by row.
std::vector<uint32_t> surfacePixels(framework::windows::Direct2dWindow &window, UINT width, UINT height);

// A font every test prefix has.
framework::text::FontDescription testFont();

// A page that records what the window does to it.
class TestPage : public framework::views::View {
public:
    using View::View;
    void show() override
    {
        ++shows;
        View::show();
    }
    void hide() override
    {
        ++hides;
        View::hide();
    }
    void receiveData(framework::windows::PageData *payload) override { received.push_back(*payload); }

    int shows = 0;
    int hides = 0;
    std::vector<framework::windows::PageData> received;
};

// A window with the overlay (minimise and close) and pages 1 and 2; `build`
// may add elements to page 1.
class TestWindow : public framework::windows::Direct2dWindow {
public:
    TestWindow(Direct2dWindow *parent = nullptr, unsigned width = 767, unsigned height = 444, int activeId = 102,
               int inactiveId = 103);

    HRESULT createContent(intptr_t argument) override;
    void close() override;
    void onEscape() override;

    std::function<HRESULT(TestWindow &, TestPage &)> build;
    TestPage *firstPage = nullptr;
    TestPage *secondPage = nullptr;
    int closeCalls = 0;
    int escapes = 0;

    using Direct2dWindow::atlas;
    using Direct2dWindow::backgroundKey;
    using Direct2dWindow::currentView;
    using Direct2dWindow::firstActivationPending;
    using Direct2dWindow::nonClientView;
    using Direct2dWindow::recoverDevice;
    using Direct2dWindow::views;
};

// A window object whose handle is a message-only window: element trees built
// on it post their requests there, where a test counts them.
class MessageSink : public framework::windows::Direct2dWindow {
public:
    MessageSink();
    HRESULT createContent(intptr_t) override { return S_OK; }
    // Removes and counts the queued messages of one kind.
    int take(UINT message);
    std::vector<MSG> takeAll(UINT message);
};

} // namespace frameworktest
