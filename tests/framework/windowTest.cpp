#include "frameworkTestSupport.h"

#include "framework/buttons/SpriteButton.h"
#include "framework/buttons/SystemButtons.h"
#include "framework/pictures/Sprite.h"
#include "framework/renderers/Direct2dDxgiRenderer.h"
#include "framework/resources/pictureSource.h"
#include "framework/text/Label.h"
#include "framework/windows/messages.h"
#include "framework/windows/placement.h"
#include "tests/support/process.h"
#include "win32lib/encryption/cipher.h"
#include "win32lib/encryption/recordFormat.h"
#include "win32lib/encryption/store.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using framework::controls::Item;
using framework::windows::centredPosition;
using framework::windows::kMsgRedraw;
using framework::windows::kMsgShowView;
using framework::windows::kMsgViewData;
using framework::windows::PageData;
using namespace frameworktest;

namespace {

bool pumpUntil(const std::function<bool()> &done, DWORD timeoutMs = 3000)
{
    const ULONGLONG end = ::GetTickCount64() + timeoutMs;
    while (!done()) {
        if (::GetTickCount64() > end) {
            return false;
        }
        pump(10);
    }
    return true;
}

// An interactive element that draws nothing: over plain background it still
// makes the point client area.
class InvisibleHotspot : public Item {
public:
    InvisibleHotspot(float x, float y) : Item(framework::controls::kKindComposite, 40, 40, x, y) { interactive = true; }
};

// Counts the drawings it is asked for.
class CountingWindow : public TestWindow {
public:
    HRESULT render(Item *item) override
    {
        ++(item == nullptr ? wholeDrawings : itemDrawings);
        return TestWindow::render(item);
    }
    int wholeDrawings = 0;
    int itemDrawings = 0;
};

class Window : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useTestPictures(); }

    std::unique_ptr<TestWindow> open(TestWindow *parent = nullptr, unsigned width = 767, unsigned height = 444)
    {
        auto window = std::make_unique<TestWindow>(parent, width, height);
        const HRESULT result = window->initialize(0);
        EXPECT_HRESULT_SUCCEEDED(result);
        return SUCCEEDED(result) ? std::move(window) : nullptr;
    }

    static LRESULT hitAt(TestWindow &window, int x, int y)
    {
        RECT bounds = {};
        ::GetWindowRect(window.handle(), &bounds);
        return ::SendMessageW(window.handle(), WM_NCHITTEST, 0, MAKELPARAM(bounds.left + x, bounds.top + y));
    }
};

TEST(WindowPlacement, CentredWindowsStayOnTheScreen)
{
    EXPECT_EQ(centredPosition(0, 1280, 767, 1280), 256);
    EXPECT_EQ(centredPosition(1000, 767, 300, 1280), 980); // would run off the right
    EXPECT_EQ(centredPosition(-500, 400, 300, 1280), 0);   // would start before the left
    EXPECT_EQ(centredPosition(0, 1024, 444, 1024), 290);
    EXPECT_EQ(framework::windows::pixelsFor(767, 1.5f), 1151u);
    EXPECT_EQ(framework::windows::pixelsFor(444, 1.5f), 666u);
}

TEST(SurfaceFit, GrowingByOnePixelAddsTheSlackAndShrinkingKeepsTheSurface)
{
    using framework::renderers::fittedSurfaceSize;
    const auto grown = fittedSurfaceSize(767, 444, 768, 444);
    EXPECT_TRUE(grown.grows);
    EXPECT_EQ(grown.width, 868u);
    EXPECT_EQ(grown.height, 544u);
    EXPECT_FALSE(fittedSurfaceSize(868, 544, 700, 300).grows);
    EXPECT_FALSE(fittedSurfaceSize(868, 544, 868, 544).grows);
}

TEST_F(Window, OpensCentredAt767By444WithTheWholeWindowAsClientArea)
{
    auto window = open();
    ASSERT_TRUE(window);
    RECT bounds = {};
    RECT client = {};
    ASSERT_TRUE(::GetWindowRect(window->handle(), &bounds));
    ASSERT_TRUE(::GetClientRect(window->handle(), &client));
    EXPECT_EQ(bounds.right - bounds.left, 767);
    EXPECT_EQ(bounds.bottom - bounds.top, 444);
    EXPECT_EQ(client.right, 767);
    EXPECT_EQ(client.bottom, 444);
    POINT origin{0, 0};
    ::ClientToScreen(window->handle(), &origin);
    EXPECT_EQ(origin.x, bounds.left);
    EXPECT_EQ(origin.y, bounds.top);
    EXPECT_EQ(bounds.left, (::GetSystemMetrics(SM_CXSCREEN) - 767) / 2);
    EXPECT_EQ(bounds.top, (::GetSystemMetrics(SM_CYSCREEN) - 444) / 2);
    EXPECT_TRUE(::GetWindowLongW(window->handle(), GWL_EXSTYLE) & WS_EX_LAYERED);
    wchar_t className[64] = {};
    ::GetClassNameW(window->handle(), className, 64);
    EXPECT_STREQ(className, L"Top-Level Window");
    EXPECT_FLOAT_EQ(window->getScaleX(), 1.0f);
    EXPECT_EQ(window->getRenderer().surfaceWidth(), 767u);
    EXPECT_TRUE(window->firstPage->active);
    EXPECT_EQ(window->backgroundKey, colorRef(kPlainBackground));
}

TEST_F(Window, AWindowOverAParentNearTheCornerIsPushedBackOntoTheScreen)
{
    auto parent = open();
    ASSERT_TRUE(parent);
    ::SetWindowPos(parent->handle(), nullptr, 1000, 800, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    auto child = open(parent.get(), 300, 200);
    ASSERT_TRUE(child);
    RECT bounds = {};
    ::GetWindowRect(child->handle(), &bounds);
    EXPECT_EQ(bounds.right, ::GetSystemMetrics(SM_CXSCREEN));
    EXPECT_EQ(bounds.bottom, ::GetSystemMetrics(SM_CYSCREEN));
    EXPECT_EQ(::GetWindow(child->handle(), GW_OWNER), parent->handle());
}

TEST_F(Window, OnlyActivationsAfterTheFirstMoveTheSystemButtons)
{
    auto window = open();
    auto other = open();
    ASSERT_TRUE(window && other);
    Item *close = window->nonClientView->children.back().get();
    const float x = close->x;
    const float y = close->y;
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    ASSERT_TRUE(pumpUntil([&] { return window->isActive(); }));
    EXPECT_FALSE(window->firstActivationPending);
    EXPECT_FLOAT_EQ(close->x, x);
    EXPECT_FLOAT_EQ(close->y, y);

    ::ShowWindow(other->handle(), SW_SHOWNORMAL);
    ::SetActiveWindow(other->handle());
    ASSERT_TRUE(pumpUntil([&] { return !window->isActive(); }));
    EXPECT_FLOAT_EQ(close->x, x - 2);
    EXPECT_FLOAT_EQ(close->y, y + 6);
    // The posted redraw paints the inactive frame.
    pump(50);
    EXPECT_EQ(window->getRenderer().pixelAt(100, 100), colorRef(kInactiveBackground));

    ::SetActiveWindow(window->handle());
    ASSERT_TRUE(pumpUntil([&] { return window->isActive(); }));
    EXPECT_FLOAT_EQ(close->x, x);
    EXPECT_FLOAT_EQ(close->y, y);
    pump(50);
    EXPECT_EQ(window->getRenderer().pixelAt(100, 100), colorRef(kPlainBackground));

    // The activation message of a minimised window changes nothing.
    ::SetActiveWindow(other->handle());
    ASSERT_TRUE(pumpUntil([&] { return !window->isActive(); }));
    ::SendMessageW(window->handle(), WM_ACTIVATE, MAKEWPARAM(WA_ACTIVE, 1), 0);
    EXPECT_FALSE(window->isActive());
    EXPECT_FLOAT_EQ(close->x, x - 2);
}

TEST_F(Window, ShowViewSwitchesPagesAndAnUnknownIdOnlyRedraws)
{
    auto window = open();
    ASSERT_TRUE(window);
    auto *marker =
        window->firstPage->make<framework::pictures::Sprite>(30.0f, 30.0f, 200.0f, 200.0f, 163u, 153u, 190u, 173u);
    EXPECT_NE(window->getRenderer().pixelAt(210, 210), colorRef(kCloseNormal)); // not drawn yet
    ::PostMessageW(window->handle(), kMsgShowView, 99, 0);
    pump(50);
    EXPECT_EQ(window->currentView, window->firstPage);
    EXPECT_EQ(window->firstPage->hides, 0);
    EXPECT_EQ(window->getRenderer().pixelAt(210, 210), colorRef(kCloseNormal));

    marker->visible = false;
    ::PostMessageW(window->handle(), kMsgShowView, 2, 0);
    pump(50);
    EXPECT_EQ(window->currentView, window->secondPage);
    EXPECT_EQ(window->firstPage->hides, 1);
    EXPECT_FALSE(window->firstPage->active);
    EXPECT_TRUE(window->secondPage->active);
    EXPECT_EQ(window->secondPage->shows, 1);
    EXPECT_EQ(window->getRenderer().pixelAt(210, 210), colorRef(kPlainBackground));
}

TEST_F(Window, ABurstOfRedrawRequestsIsDrawnOnceAndDoesNotHoldBackAPageChange)
{
    CountingWindow window;
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    pump(50);
    window.wholeDrawings = 0;
    // What a fast extraction sends: far more requests than frames can be drawn.
    for (int i = 0; i < 200; ++i) {
        ASSERT_TRUE(::PostMessageW(window.handle(), kMsgRedraw, 0, 0));
    }
    ::PostMessageW(window.handle(), kMsgShowView, 2, 0);
    MSG message;
    ASSERT_TRUE(::PeekMessageW(&message, window.handle(), kMsgRedraw, kMsgRedraw, PM_REMOVE));
    ::DispatchMessageW(&message);
    EXPECT_EQ(window.wholeDrawings, 1);
    // The page change is next in the queue.
    ASSERT_TRUE(::PeekMessageW(&message, window.handle(), 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, kMsgShowView);
    ::DispatchMessageW(&message);
    EXPECT_EQ(window.currentView, window.secondPage);
    EXPECT_EQ(window.wholeDrawings, 2);

    // A request for one element is drawn as asked, and later ones stay queued.
    Item *overlay = window.nonClientView.get();
    ::PostMessageW(window.handle(), kMsgRedraw, 0, reinterpret_cast<LPARAM>(overlay));
    ::PostMessageW(window.handle(), kMsgRedraw, 0, reinterpret_cast<LPARAM>(overlay));
    ASSERT_TRUE(::PeekMessageW(&message, window.handle(), kMsgRedraw, kMsgRedraw, PM_REMOVE));
    ::DispatchMessageW(&message);
    EXPECT_EQ(window.itemDrawings, 1);
    EXPECT_TRUE(::PeekMessageW(&message, window.handle(), kMsgRedraw, kMsgRedraw, PM_NOREMOVE));
}

TEST_F(Window, ViewDataReachesItsPageAndUnknownPagesDropIt)
{
    auto window = open();
    ASSERT_TRUE(window);
    auto payload = std::make_unique<PageData>(PageData{2, 4200});
    ::PostMessageW(window->handle(), kMsgViewData, 2, reinterpret_cast<LPARAM>(payload.release()));
    auto lost = std::make_unique<PageData>(PageData{1, 1});
    ::PostMessageW(window->handle(), kMsgViewData, 7, reinterpret_cast<LPARAM>(lost.release()));
    pump(50);
    ASSERT_EQ(window->secondPage->received.size(), 1u);
    EXPECT_EQ(window->secondPage->received[0].kind, 2);
    EXPECT_EQ(window->secondPage->received[0].value, 4200);
    EXPECT_TRUE(window->firstPage->received.empty());
}

TEST_F(Window, EscapeReachesOnEscapeAndOtherKeysDoNot)
{
    auto window = open();
    ASSERT_TRUE(window);
    ::SendMessageW(window->handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_EQ(window->escapes, 0);
    ::SendMessageW(window->handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_EQ(window->escapes, 1);

    // A real key press needs the keyboard focus that activation gives.
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    ASSERT_TRUE(pumpUntil([&] { return window->isActive(); }));
    INPUT keys[2] = {};
    keys[0].type = INPUT_KEYBOARD;
    keys[0].ki.wVk = VK_ESCAPE;
    keys[1].type = INPUT_KEYBOARD;
    keys[1].ki.wVk = VK_ESCAPE;
    keys[1].ki.dwFlags = KEYEVENTF_KEYUP;
    ::SendInput(2, keys, sizeof(INPUT));
    EXPECT_TRUE(pumpUntil([&] { return window->escapes == 2; }));
}

TEST_F(Window, PlainBackgroundDragsTheWindowWhileDrawnThingsAndControlsDoNot)
{
    auto window = open();
    ASSERT_TRUE(window);
    EXPECT_EQ(hitAt(*window, 100, 100), HTCAPTION);
    EXPECT_EQ(hitAt(*window, 400, 300), HTCAPTION);
    // The close button's own pixels.
    EXPECT_EQ(hitAt(*window, 767 - 39 + 5, 12), HTCLIENT);
    // The frame's edge is not plain background either.
    EXPECT_EQ(hitAt(*window, 2, 200), HTCLIENT);
    // Outside the surface GetPixel gives CLR_INVALID: client area.
    EXPECT_EQ(hitAt(*window, 2000, 10), HTCLIENT);

    window->firstPage->make<InvisibleHotspot>(100.0f, 100.0f);
    EXPECT_EQ(hitAt(*window, 110, 110), HTCLIENT);

    auto *label = window->firstPage->make<framework::text::Label>(L"WWWW", testFont(),
                                                                  framework::text::TextStyle{40.0f, 0xFFFFFF, 0, 0},
                                                                  window->getTextFactory(), 300.0f, 200.0f);
    window->render(nullptr);
    int glyphX = -1;
    int glyphY = -1;
    for (int y = 200; y < 200 + static_cast<int>(label->height) && glyphX < 0; ++y) {
        for (int x = 300; x < 300 + static_cast<int>(label->width); ++x) {
            if (window->getRenderer().pixelAt(x, y) == RGB(255, 255, 255)) {
                glyphX = x;
                glyphY = y;
                break;
            }
        }
    }
    ASSERT_GE(glyphX, 0) << "no white text pixel found";
    EXPECT_EQ(hitAt(*window, glyphX, glyphY), HTCLIENT);
}

TEST_F(Window, TheSampledBackgroundKeyAlsoMarksDragArea)
{
    auto window = std::make_unique<TestWindow>(nullptr, 400, 200, 104, 105);
    ASSERT_HRESULT_SUCCEEDED(window->initialize(0));
    EXPECT_EQ(window->backgroundKey, colorRef(kBoxBackground));
    EXPECT_EQ(hitAt(*window, 100, 100), HTCAPTION);
}

TEST_F(Window, GrowingByOnePixelRebuildsTheSurfaceWithSlackAndShrinkingNever)
{
    auto window = open();
    ASSERT_TRUE(window);
    ::SetWindowPos(window->handle(), nullptr, 0, 0, 768, 444, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(window->getRenderer().surfaceWidth(), 868u);
    EXPECT_EQ(window->getRenderer().surfaceHeight(), 544u);
    EXPECT_EQ(window->getPixelWidth(), 768u);
    EXPECT_FLOAT_EQ(window->nonClientView->children.back()->x, 768 - 39);
    ::SetWindowPos(window->handle(), nullptr, 0, 0, 700, 400, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(window->getRenderer().surfaceWidth(), 868u);
    EXPECT_EQ(window->getRenderer().surfaceHeight(), 544u);
    EXPECT_FLOAT_EQ(window->getWidth(), 700);
    EXPECT_FLOAT_EQ(window->firstPage->width, 700);
    EXPECT_FLOAT_EQ(window->secondPage->width, 767); // pages not shown keep their size
    // Still drawn after the rebuild: the new target got the bitmaps' device.
    EXPECT_EQ(window->getRenderer().pixelAt(100, 100), colorRef(kPlainBackground));
}

LPARAM clientPoint(const Item &item)
{
    return MAKELPARAM(static_cast<int>(item.x + item.width / 2), static_cast<int>(item.y + item.height / 2));
}

TEST_F(Window, TheMinimiseButtonMinimisesAndCaptureLossCancelsAPress)
{
    auto window = open();
    ASSERT_TRUE(window);
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    pump(50);
    Item *minimise = window->nonClientView->children.front().get();
    Item *close = window->nonClientView->children.back().get();

    // Dragging in from outside with the button held is not ours.
    ::SendMessageW(window->handle(), WM_MOUSEMOVE, MK_LBUTTON, clientPoint(*close));
    EXPECT_FALSE(close->hovered);

    ::SendMessageW(window->handle(), WM_MOUSEMOVE, 0, clientPoint(*close));
    EXPECT_TRUE(close->hovered);
    ::SendMessageW(window->handle(), WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(*close));
    EXPECT_TRUE(close->pressed);
    EXPECT_EQ(::GetCapture(), window->handle());
    ::ReleaseCapture(); // someone else takes the mouse
    pump(20);
    EXPECT_FALSE(close->pressed);
    EXPECT_FALSE(close->hovered);
    pump(50);
    EXPECT_EQ(window->closeCalls, 0);

    ::SendMessageW(window->handle(), WM_LBUTTONUP, 0, clientPoint(*close)); // a stray release
    ::SendMessageW(window->handle(), WM_MOUSEMOVE, 0, clientPoint(*minimise));
    ::SendMessageW(window->handle(), WM_LBUTTONDOWN, MK_LBUTTON, clientPoint(*minimise));
    ::SendMessageW(window->handle(), WM_LBUTTONUP, 0, clientPoint(*minimise));
    EXPECT_TRUE(pumpUntil([&] { return ::IsIconic(window->handle()) != FALSE; }));
    EXPECT_EQ(window->closeCalls, 0);
}

TEST_F(Window, ABorderSpriteButtonLargerThanItsFrameKeepsItsCornersAndStretchesTheRest)
{
    constexpr framework::buttons::SpriteFrames kCell{10, 300, 10, 300, 10, 300, 60, 40};
    auto window = open();
    ASSERT_TRUE(window);
    window->firstPage->make<framework::buttons::BorderSpriteButton>(200.0f, 120.0f, 100.0f, 100.0f, kCell, 21u, 21u,
                                                                    16u, 16u);
    window->render(nullptr);
    auto &renderer = window->getRenderer();
    EXPECT_EQ(renderer.pixelAt(100, 160), colorRef(kCellLeft));
    EXPECT_EQ(renderer.pixelAt(120, 160), colorRef(kCellLeft));
    EXPECT_EQ(renderer.pixelAt(200, 160), colorRef(kCellCentre));
    EXPECT_EQ(renderer.pixelAt(200, 101), colorRef(kCellEdge));
    EXPECT_EQ(renderer.pixelAt(200, 114), colorRef(kCellEdge));
    EXPECT_NE(renderer.pixelAt(200, 117), colorRef(kCellEdge));
    EXPECT_EQ(renderer.pixelAt(290, 160), colorRef(kCellRight));
    EXPECT_EQ(renderer.pixelAt(299, 219), colorRef(kCellRight));
    EXPECT_NE(renderer.pixelAt(300, 160), colorRef(kCellRight));
}

TEST_F(Window, ADpiChangeRescalesTheTargetAndTakesTheSuggestedRectangle)
{
    auto window = open();
    ASSERT_TRUE(window);
    RECT suggested = {100, 50, 100 + 1151, 50 + 666};
    ::SendMessageW(window->handle(), WM_DPICHANGED, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    EXPECT_FLOAT_EQ(window->getScaleX(), 1.5f);
    EXPECT_EQ(window->getPixelWidth(), 1151u);
    EXPECT_EQ(window->getPixelHeight(), 666u);
    EXPECT_NEAR(window->getWidth(), 767.33f, 0.01f);
    EXPECT_FLOAT_EQ(window->getHeight(), 444.0f);
    float dpiX = 0;
    float dpiY = 0;
    window->getRenderer().getRenderTarget()->GetDpi(&dpiX, &dpiY);
    EXPECT_FLOAT_EQ(dpiX, 144.0f);
    RECT bounds = {};
    ::GetWindowRect(window->handle(), &bounds);
    EXPECT_EQ(bounds.left, 100);
    EXPECT_EQ(bounds.right - bounds.left, 1151);
    // The close button stays anchored to the right edge, in DIPs.
    EXPECT_NEAR(window->nonClientView->children.back()->x, 767.33f - 39, 0.01f);
    EXPECT_EQ(window->getRenderer().pixelAt(1100, 20), colorRef(kCloseNormal));
}

TEST_F(Window, AfterDeviceLossANewDeviceDrawsTheSameFrame)
{
    // Device loss cannot be caused under Wine; the recovery it triggers can
    // be run directly.
    auto window = open();
    ASSERT_TRUE(window);
    auto &renderer = window->getRenderer();
    // Kept alive so that the new device cannot reuse its address.
    const Microsoft::WRL::ComPtr<ID3D10Device1> lostDevice = renderer.getDevice();
    ::SetWindowPos(window->handle(), nullptr, 0, 0, 768, 444, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ASSERT_HRESULT_SUCCEEDED(window->recoverDevice());
    EXPECT_NE(renderer.getDevice(), lostDevice.Get());
    EXPECT_EQ(renderer.surfaceWidth(), 868u); // the current surface size is kept
    EXPECT_EQ(renderer.driverType(), D3D10_DRIVER_TYPE_HARDWARE);
    ASSERT_NE(window->atlas.getBitmap(), nullptr);
    ASSERT_HRESULT_SUCCEEDED(window->render(nullptr));
    EXPECT_EQ(renderer.pixelAt(100, 100), colorRef(kPlainBackground));
    EXPECT_EQ(renderer.pixelAt(768 - 39 + 5, 12), colorRef(kCloseNormal));
}

TEST_F(Window, AMonitorChangeRedrawsWithTheMonitorsTextParameters)
{
    auto window = open();
    ASSERT_TRUE(window);
    EXPECT_HRESULT_SUCCEEDED(window->onMonitorChanged(::MonitorFromWindow(window->handle(), MONITOR_DEFAULTTOPRIMARY)));
}

TEST_F(Window, PointerClicksLandOnWhatIsDrawn)
{
    auto window = open();
    ASSERT_TRUE(window);
    // Top left, where no centred window of a test running beside this one
    // can lie over the button.
    ::SetWindowPos(window->handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(window->handle(), SW_SHOWNORMAL);
    ::SetForegroundWindow(window->handle());
    pump(200);
    RECT bounds = {};
    ::GetWindowRect(window->handle(), &bounds);
    Item *close = window->nonClientView->children.back().get();
    const int x = bounds.left + static_cast<int>(close->x + close->width / 2);
    const int y = bounds.top + static_cast<int>(close->y + close->height / 2);
    ::SetCursorPos(x, y);
    INPUT moves[1] = {};
    moves[0].type = INPUT_MOUSE;
    moves[0].mi.dwFlags = MOUSEEVENTF_MOVE;
    ::SendInput(1, moves, sizeof(INPUT));
    EXPECT_TRUE(pumpUntil([&] { return close->hovered; })) << "the pointer did not reach the close button";
    pumpUntil(
        [&] { return window->getRenderer().pixelAt(static_cast<int>(close->x) + 5, 12) == colorRef(kCloseHover); });
    EXPECT_EQ(window->getRenderer().pixelAt(static_cast<int>(close->x) + 5, 12), colorRef(kCloseHover));
    INPUT press[2] = {};
    press[0].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].type = INPUT_MOUSE;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    ::SendInput(2, press, sizeof(INPUT));
    EXPECT_TRUE(pumpUntil([&] { return window->closeCalls == 1; }));
    EXPECT_EQ(window->handle(), nullptr); // the base close() destroyed it
}

// A table in the store's own format whose record for the atlas is damaged
// by `damage`; the frames stay intact.
std::vector<uint8_t> g_table;

framework::resources::PictureBytes fromTestTable(int id)
{
    return win32lib::encryption::decodePicture(g_table, static_cast<uint16_t>(id));
}

std::vector<uint8_t> tableWith(const std::function<void(std::vector<uint8_t> &)> &damageAtlas)
{
    using namespace win32lib::encryption;
    const Key key{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const Key filler{};
    std::vector<uint8_t> payload;
    for (int id = 101; id <= 105; ++id) {
        const auto picture = framework::resources::pictureBytes(id);
        std::vector<uint8_t> text =
            encipher(std::span(reinterpret_cast<const uint8_t *>(picture->data()), picture->size()), key);
        if (id == 101) {
            damageAtlas(text);
        }
        payload.push_back(static_cast<uint8_t>(id >> 8));
        payload.push_back(static_cast<uint8_t>(id));
        for (int shift = 24; shift >= 0; shift -= 8) {
            payload.push_back(static_cast<uint8_t>(text.size() >> shift));
        }
        payload.insert(payload.end(), text.begin(), text.end());
    }
    std::vector<uint8_t> table = makeHeader(static_cast<uint32_t>(payload.size()), key, filler);
    table.insert(table.end(), payload.begin(), payload.end());
    return table;
}

TEST_F(Window, AnElementThatCannotBeMadeKeepsTheWindowFromOpening)
{
    TestWindow window;
    window.build = [](TestWindow &self, TestPage &page) {
        page.make<framework::text::Label>(L"made", testFont(), framework::text::TextStyle{}, self.getTextFactory(), 0,
                                          0);
        page.make<framework::text::Label>(nullptr, testFont(), framework::text::TextStyle{}, self.getTextFactory(), 0,
                                          20);
        return S_OK;
    };
    EXPECT_EQ(window.initialize(0), E_INVALIDARG);
}

TEST_F(Window, DamagedPictureRecordsKeepTheWindowFromOpening)
{
    g_table = tableWith([](std::vector<uint8_t> &) {});
    const auto previous = framework::resources::replacePictureLookup(&fromTestTable);
    {
        TestWindow intact;
        EXPECT_HRESULT_SUCCEEDED(intact.initialize(0));
    }
    g_table = tableWith([](std::vector<uint8_t> &text) { text.pop_back(); }); // 8k bytes
    {
        TestWindow noPadCount;
        EXPECT_EQ(noPadCount.initialize(0), E_FAIL);
        EXPECT_EQ(noPadCount.handle(), nullptr);
    }
    g_table = tableWith([](std::vector<uint8_t> &text) { text.back() = 8; });
    {
        TestWindow badPadCount;
        EXPECT_EQ(badPadCount.initialize(0), E_FAIL);
    }
    g_table = tableWith([](std::vector<uint8_t> &) {});
    {
        TestWindow missingFrame(nullptr, 767, 444, 106, 103);
        EXPECT_EQ(missingFrame.initialize(0), E_FAIL);
    }
    framework::resources::replacePictureLookup(previous);
}

} // namespace

namespace {

// Run by real-pointer-click with the X server's own pointer (xdotool): writes
// where the close button is on the screen, then waits for the click.
TEST(RealPointer, DISABLED_AnXPointerClickOnTheCloseButtonClosesTheWindow)
{
    useTestPictures();
    wchar_t target[MAX_PATH] = {};
    ASSERT_GT(::GetEnvironmentVariableW(L"KESTRUNE_CLICK_FILE", target, MAX_PATH), 0u);
    TestWindow window(nullptr, 300, 200);
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    // Top left, where no centred window of a test running beside this one
    // can lie over the button.
    ::SetWindowPos(window.handle(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(window.handle(), SW_SHOWNORMAL);
    ::SetForegroundWindow(window.handle());
    pump(300);
    RECT bounds = {};
    ::GetWindowRect(window.handle(), &bounds);
    const Item *close = window.nonClientView->children.back().get();
    const int x = bounds.left + static_cast<int>(close->x + close->width / 2);
    const int y = bounds.top + static_cast<int>(close->y + close->height / 2);
    const std::string where = std::to_string(x) + " " + std::to_string(y) + "\n";
    const std::wstring partial = std::wstring(target) + L".part";
    ASSERT_TRUE(testsupport::writeFile(partial, where));
    ASSERT_TRUE(::MoveFileExW(partial.c_str(), target, MOVEFILE_REPLACE_EXISTING));
    EXPECT_TRUE(pumpUntil([&] { return window.closeCalls == 1; }, 20000)) << "no click arrived at " << where;
    EXPECT_EQ(window.handle(), nullptr);
}

} // namespace
