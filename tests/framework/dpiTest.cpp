#include "frameworkTestSupport.h"

#include "framework/pictures/BorderSprite.h"
#include "framework/pictures/nineSlice.h"
#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <memory>

using framework::pictures::BorderSprite;
using namespace frameworktest;

namespace {

// 0xRRGGBB of a premultiplied surface pixel (opaque here).
uint32_t rgbOf(uint32_t bgra)
{
    return bgra & 0xFFFFFF;
}

TEST(NineSliceRounding, A21DipBorderIs32PixelsAt150Percent)
{
    using namespace framework::pictures;
    const auto slices = nineSlice(RectF{100, 100, 200, 160}, BorderWidths{21, 21, 16, 16});
    const RectF left = toPixelsRoundedUp(slices[3], 144, 144);
    EXPECT_FLOAT_EQ(left.left, 150);
    EXPECT_FLOAT_EQ(left.right, 182); // ceil(181.5)
    const RectF centre = toPixelsRoundedUp(slices[4], 144, 144);
    EXPECT_FLOAT_EQ(centre.left, left.right); // no gap, no overlap
    const RectF right = toPixelsRoundedUp(slices[5], 144, 144);
    EXPECT_FLOAT_EQ(right.left, centre.right);
    EXPECT_FLOAT_EQ(right.right, 300);
    EXPECT_FLOAT_EQ(toPixelsRoundedUp(slices[0], 144, 144).bottom, 174);
}

class HighDpiWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() { useTestPictures(); }
};

TEST_F(HighDpiWindow, TheMainWindowSizeIs1151By666PixelsAt144Dpi)
{
    TestWindow window;
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    ASSERT_FLOAT_EQ(window.getScaleX(), 1.5f) << "the prefix does not report 144 DPI";
    EXPECT_FLOAT_EQ(window.getScaleY(), 1.5f);
    EXPECT_EQ(window.getPixelWidth(), 1151u);
    EXPECT_EQ(window.getPixelHeight(), 666u);
    RECT bounds = {};
    ::GetWindowRect(window.handle(), &bounds);
    EXPECT_EQ(bounds.right - bounds.left, 1151);
    EXPECT_EQ(bounds.bottom - bounds.top, 666);
    // Pages cover the window in DIPs.
    EXPECT_NEAR(window.firstPage->width, 767.33f, 0.01f);
    EXPECT_FLOAT_EQ(window.firstPage->height, 444.0f);
}

TEST_F(HighDpiWindow, NineSliceEdgesAreRoundedUpSoA21DipBorderPaints32Pixels)
{
    TestWindow window;
    window.build = [](TestWindow &, TestPage &page) {
        page.make<BorderSprite>(100.0f, 60.0f, 100.0f, 100.0f, 10u, 300u, 70u, 340u, 21u, 21u, 16u, 16u);
        return S_OK;
    };
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    const auto pixels = surfacePixels(window, 1151, 666);
    ASSERT_FALSE(pixels.empty());
    const auto at = [&](int x, int y) { return rgbOf(pixels[static_cast<size_t>(y) * 1151 + x]); };
    // Linear filtering blends the pixels where slices meet, so each pixel is
    // classified by the nearest of the colours that can be there.
    const auto nearest = [](uint32_t rgb) {
        const uint32_t candidates[] = {kCellLeft, kCellRight,       kCellCentre,
                                       kCellEdge, kPlainBackground, kFrameEdgeActive};
        uint32_t best = 0;
        int bestDistance = 1 << 30;
        for (const uint32_t candidate : candidates) {
            int distance = 0;
            for (int shift = 0; shift <= 16; shift += 8) {
                const int delta =
                    static_cast<int>((rgb >> shift) & 0xFF) - static_cast<int>((candidate >> shift) & 0xFF);
                distance += delta * delta;
            }
            if (distance < bestDistance) {
                bestDistance = distance;
                best = candidate;
            }
        }
        return best;
    };
    const int row = 195; // inside the left slice, between the top and bottom slices
    int firstLeft = -1;
    int leftColumns = 0;
    int rightColumns = 0;
    for (int x = 140; x < 320; ++x) {
        const uint32_t colour = nearest(at(x, row));
        if (colour == kCellLeft) {
            firstLeft = firstLeft < 0 ? x : firstLeft;
            ++leftColumns;
        }
        rightColumns += colour == kCellRight ? 1 : 0;
    }
    EXPECT_EQ(firstLeft, 150);
    EXPECT_EQ(leftColumns, 32);  // ceil(121 x 1.5) - 150
    EXPECT_EQ(rightColumns, 31); // 300 - ceil(179 x 1.5)
    EXPECT_EQ(nearest(at(182, row)), kCellCentre);
    EXPECT_EQ(nearest(at(268, row)), kCellCentre);
    // The window frame's own 8-pixel edge ring is scaled too: 12 pixels.
    EXPECT_EQ(nearest(at(10, 300)), kFrameEdgeActive);
    EXPECT_EQ(nearest(at(13, 300)), kPlainBackground);
}

TEST_F(HighDpiWindow, DragHitTestingScalesThePointToDips)
{
    TestWindow window;
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    RECT bounds = {};
    ::GetWindowRect(window.handle(), &bounds);
    const auto hit = [&](int x, int y) {
        return ::SendMessageW(window.handle(), WM_NCHITTEST, 0, MAKELPARAM(bounds.left + x, bounds.top + y));
    };
    EXPECT_EQ(hit(300, 300), HTCAPTION);
    // The close button: DIPs (728 .. 755, 7 .. 27) are pixels (1092 .. 1132, 11 .. 40).
    EXPECT_EQ(hit(1100, 20), HTCLIENT);
    const auto pixels = surfacePixels(window, 1151, 666);
    EXPECT_EQ(rgbOf(pixels[20 * 1151 + 1100]), kCloseNormal);
}

TEST_F(HighDpiWindow, ScreenshotOfTheScaledWindow)
{
    TestWindow window;
    window.build = [](TestWindow &, TestPage &page) {
        page.make<BorderSprite>(300.0f, 150.0f, 100.0f, 100.0f, 10u, 300u, 70u, 340u, 21u, 21u, 16u, 16u);
        return S_OK;
    };
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    const std::wstring folder = testsupport::kBinDir + L"\\..\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    EXPECT_HRESULT_SUCCEEDED(savePng(folder + L"\\window-144dpi.png", 1151, 666, surfacePixels(window, 1151, 666)));
}

} // namespace
