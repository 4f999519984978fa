#include "frameworkTestSupport.h"

#include "app/Application.h"
#include "framework/buttons/SpriteButton.h"
#include "framework/buttons/UrlButton.h"
#include "framework/pictures/Sprite.h"
#include "framework/text/ComplexText.h"
#include "framework/text/Label.h"
#include "framework/resources/Image.h"
#include "framework/resources/pictureSource.h"
#include "tests/support/paths.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <cstdio>

using framework::pictures::Sprite;
using framework::resources::Image;
using namespace frameworktest;

namespace {

struct Region {
    const char *name;
    uint32_t left, top, right, bottom;
};

// Every region of the sprite atlas that an element draws.
constexpr Region kAtlasRegions[] = {
    {"field-frame", 5, 103, 599, 133},           {"minimise-normal", 109, 153, 135, 173},
    {"minimise-hover", 436, 153, 462, 173},      {"minimise-pressed", 721, 153, 747, 173},
    {"close-normal", 163, 153, 190, 173},        {"close-hover", 490, 153, 517, 173},
    {"close-pressed", 775, 153, 802, 173},       {"express-shield-vista", 27, 211, 47, 235},
    {"express-shield-other", 88, 211, 108, 235}, {"express-shield-10", 143, 211, 165, 234},
    {"express-arrow", 204, 206, 243, 240},       {"status-emblem", 260, 206, 294, 240},
    {"express-normal", 5, 250, 305, 311},        {"express-hover", 316, 250, 616, 311},
    {"express-pressed", 625, 250, 925, 311},     {"dark-normal", 66, 334, 221, 364},
    {"dark-hover", 383, 334, 538, 364},          {"dark-pressed", 693, 334, 848, 364},
    {"red-normal", 66, 387, 221, 417},           {"red-hover", 383, 387, 538, 417},
    {"red-pressed", 693, 387, 848, 417},         {"check-box", 139, 433, 152, 446},
    {"check-mark", 155, 435, 164, 443},          {"finish-emblem", 204, 433, 306, 504},
    {"start-shield-vista", 325, 437, 338, 451},  {"start-shield-other", 369, 437, 383, 451},
    {"start-shield-10", 414, 436, 427, 450},     {"folder-emblem", 73, 462, 109, 490},
    {"folder-icon", 118, 475, 138, 490},         {"progress-track", 66, 522, 685, 540},
    {"progress-line", 49, 554, 696, 604},        {"product-logo", 92, 620, 220, 748},
    {"error-emblem", 316, 625, 416, 725},
};
constexpr float kOffset = 16.0f;

std::wstring screenshotPath(const wchar_t *name)
{
    const std::wstring folder = testsupport::kBinDir + L"\\..\\screenshots";
    ::CreateDirectoryW(folder.c_str(), nullptr);
    return folder + L"\\" + name;
}

// The picture's pixels as premultiplied BGRA, the way the window draws them.
std::vector<uint32_t> decodedPixels(int id, UINT &width, UINT &height)
{
    const auto bytes = framework::resources::pictureBytes(id);
    Image image;
    if (!bytes || FAILED(framework::resources::decodeImage(app::Application::instance().wicFactory(),
                                                           std::string_view(bytes->data(), bytes->size()), image))) {
        return {};
    }
    image.source->GetSize(&width, &height);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    image.source->CopyPixels(nullptr, width * 4, static_cast<UINT>(pixels.size() * 4),
                             reinterpret_cast<BYTE *>(pixels.data()));
    return pixels;
}

class ProgramPictures : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_HRESULT_SUCCEEDED(app::Application::instance().createFactories());
        framework::resources::replacePictureLookup(nullptr); // the program's own store
    }
};

TEST_F(ProgramPictures, TheStoreHoldsEveryPictureTheWindowsUse)
{
    for (int id = 101; id <= 105; ++id) {
        const auto bytes = framework::resources::pictureBytes(id);
        ASSERT_TRUE(bytes) << id;
        EXPECT_GT(bytes->size(), 8u) << id;
    }
    EXPECT_TRUE(!framework::resources::pictureBytes(106) || framework::resources::pictureBytes(106)->empty());
}

TEST_F(ProgramPictures, TheMainFramesPlainBodyIsTheSampledDragColour)
{
    TestWindow window;
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    // The designed body is #1A1A1C; the fixed drag colour is the COLORREF
    // 0x1A1A1C (#1C1A1A), so here the sampled key is what makes it a drag area.
    EXPECT_EQ(window.getBackgroundKey(), RGB(0x1A, 0x1A, 0x1C));
    EXPECT_EQ(window.getRenderer().pixelAt(400, 300), window.getBackgroundKey());
    RECT bounds = {};
    ::GetWindowRect(window.handle(), &bounds);
    EXPECT_EQ(::SendMessageW(window.handle(), WM_NCHITTEST, 0, MAKELPARAM(bounds.left + 300, bounds.top + 200)),
              HTCAPTION);
    EXPECT_HRESULT_SUCCEEDED(savePng(screenshotPath(L"main-active.png"), 767, 444, surfacePixels(window, 767, 444)));
}

TEST_F(ProgramPictures, EveryAtlasRegionDrawsExactlyItsAtlasPixels)
{
    UINT atlasWidth = 0;
    UINT atlasHeight = 0;
    const auto atlas = decodedPixels(101, atlasWidth, atlasHeight);
    ASSERT_FALSE(atlas.empty());
    TestWindow window(nullptr, 960, 800);
    window.build = [](TestWindow &, TestPage &page) {
        for (const Region &region : kAtlasRegions) {
            page.make<Sprite>(static_cast<float>(region.right - region.left),
                              static_cast<float>(region.bottom - region.top), kOffset + region.left,
                              kOffset + region.top, region.left, region.top, region.right, region.bottom);
        }
        return S_OK;
    };
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    const auto surface = surfacePixels(window, 960, 800);
    ASSERT_FALSE(surface.empty());
    EXPECT_HRESULT_SUCCEEDED(savePng(screenshotPath(L"atlas-regions.png"), 960, 800, surface));
    for (const Region &region : kAtlasRegions) {
        int opaque = 0;
        int different = 0;
        for (uint32_t y = region.top; y < region.bottom; ++y) {
            for (uint32_t x = region.left; x < region.right; ++x) {
                const uint32_t expected = atlas[y * atlasWidth + x];
                if ((expected >> 24) != 0xFF) {
                    continue; // blended with the frame below
                }
                ++opaque;
                const uint32_t drawn = surface[(y + 16) * 960 + x + 16];
                different += drawn != expected ? 1 : 0;
            }
        }
        EXPECT_GT(opaque, 0) << region.name << " has no opaque pixel";
        EXPECT_EQ(different, 0) << region.name << ": " << different << " of " << opaque << " pixels differ";
    }
}

TEST_F(ProgramPictures, ScreenshotsOfBothFramesOfBothWindows)
{
    struct Shot {
        int activeId;
        int inactiveId;
        unsigned width;
        unsigned height;
        const wchar_t *active;
        const wchar_t *inactive;
    };
    for (const Shot &shot : {Shot{102, 103, 767, 444, L"main-frame-active.png", L"main-frame-inactive.png"},
                             Shot{104, 105, 450, 155, L"box-frame-active.png", L"box-frame-inactive.png"}}) {
        TestWindow window(nullptr, shot.width, shot.height, shot.activeId, shot.inactiveId);
        ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
        EXPECT_HRESULT_SUCCEEDED(savePng(screenshotPath(shot.active), shot.width, shot.height,
                                         surfacePixels(window, shot.width, shot.height)));
        const COLORREF activeEdge = window.getRenderer().pixelAt(static_cast<int>(shot.width) / 2, 6);
        ::ShowWindow(window.handle(), SW_SHOWNORMAL);
        pump(100);
        TestWindow other(nullptr, 300, 200);
        ASSERT_HRESULT_SUCCEEDED(other.initialize(0));
        ::ShowWindow(other.handle(), SW_SHOWNORMAL);
        ::SetActiveWindow(other.handle());
        pump(100);
        ASSERT_FALSE(window.isActive());
        EXPECT_HRESULT_SUCCEEDED(savePng(screenshotPath(shot.inactive), shot.width, shot.height,
                                         surfacePixels(window, shot.width, shot.height)));
        // The inactive frame has another top edge and the same body.
        EXPECT_NE(window.getRenderer().pixelAt(static_cast<int>(shot.width) / 2, 6), activeEdge);
        EXPECT_EQ(window.getRenderer().pixelAt(60, 60), window.getBackgroundKey());
    }
}

TEST_F(ProgramPictures, ScreenshotOfTextsLinksAndButtonsOnTheMainFrame)
{
    using namespace framework;
    TestWindow window;
    text::ComplexText *sentence = nullptr;
    window.build = [&sentence](TestWindow &self, TestPage &page) {
        const auto font = testFont();
        IDWriteFactory *factory = self.getTextFactory();
        page.make<text::Label>(L"Welcome to the framework", font, text::TextStyle{28, 0xEEEEEE, 0, 0}, factory, 60.0f,
                               60.0f);
        sentence = page.make<text::ComplexText>(self.handle(), L"By installing you agree to the licence terms.", font,
                                                text::ParagraphSettings{}, text::TextStyle{14, 0x999999, 0, 0}, factory,
                                                60.0f, 120.0f, 600.0f, 30.0f);
        sentence->ranges = {text::TextRange{31, 13, {14, 0x999999, 1, 0}, {14, 0xFFFFFF, 1, 0}, nullptr}};
        sentence->applyLook(sentence->ranges[0], sentence->ranges[0].normal);
        page.make<buttons::UrlButton>(self.handle(), L"Privacy policy", font, text::TextStyle{13, 0x808080, 1, 0},
                                      factory, 0xFFFFFF, 60.0f, 160.0f);
        const buttons::SpriteFrames dark{66, 334, 383, 334, 693, 334, 155, 30};
        const buttons::SpriteFrames red{66, 387, 383, 387, 693, 387, 155, 30};
        page.make<buttons::BorderSpriteButton>(120.0f, 30.0f, 60.0f, 360.0f, dark, 11u, 11u, 10u, 10u);
        auto *hovered = page.make<buttons::BorderSpriteButton>(200.0f, 40.0f, 200.0f, 355.0f, red, 11u, 11u, 10u, 10u);
        hovered->hovered = true;
        page.make<text::Label>(L"START INSTALL", font, text::TextStyle{14, 0xE5E5E5, 0, 0}, factory, 240.0f, 365.0f);
        return S_OK;
    };
    ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
    ASSERT_NE(sentence, nullptr);
    // Hover the link range of the sentence, as the pointer would.
    sentence->mouseMove(framework::controls::MouseEvent{60.0f + 400.0f, 128.0f, 0, 0});
    EXPECT_EQ(sentence->hoveredRange, 0);
    window.render(nullptr);
    const auto pixels = surfacePixels(window, 767, 444);
    EXPECT_HRESULT_SUCCEEDED(savePng(screenshotPath(L"controls.png"), 767, 444, pixels));
    int brightTextPixels = 0;
    for (int y = 60; y < 100; ++y) {
        for (int x = 60; x < 400; ++x) {
            brightTextPixels += (pixels[static_cast<size_t>(y) * 767 + x] & 0xFF) > 0xC0 ? 1 : 0;
        }
    }
    EXPECT_GT(brightTextPixels, 200) << "the title was not drawn";
}

TEST(ImageDecoding, PicturesBecomePremultipliedBgraAndUndecodableBytesFail)
{
    ASSERT_HRESULT_SUCCEEDED(app::Application::instance().createFactories());
    IWICImagingFactory *wic = app::Application::instance().wicFactory();
    const std::string png = encodePng(2, 1, {0x80FF0000u, 0xFF00FF00u});
    Image image;
    ASSERT_HRESULT_SUCCEEDED(framework::resources::decodeImage(wic, png, image));
    WICPixelFormatGUID format = {};
    image.source->GetPixelFormat(&format);
    EXPECT_TRUE(IsEqualGUID(format, GUID_WICPixelFormat32bppPBGRA));
    uint32_t pixels[2] = {};
    ASSERT_HRESULT_SUCCEEDED(image.source->CopyPixels(nullptr, 8, 8, reinterpret_cast<BYTE *>(pixels)));
    EXPECT_EQ(pixels[0] >> 24, 0x80u);
    EXPECT_NEAR(static_cast<int>((pixels[0] >> 16) & 0xFF), 0x80, 1); // red scaled by alpha
    EXPECT_EQ(pixels[1], 0xFF00FF00u);

    Image broken;
    EXPECT_TRUE(FAILED(framework::resources::decodeImage(wic, "not a picture at all", broken)));
    EXPECT_EQ(framework::resources::decodeImage(wic, "", broken), E_FAIL);
}

} // namespace
