#include "frameworkTestSupport.h"

#include "app/Application.h"
#include "framework/buttons/UrlButton.h"
#include "framework/resources/colourManagement.h"
#include "framework/text/ComplexText.h"
#include "framework/text/Label.h"
#include "framework/text/Text.h"
#include "framework/text/TextInput.h"
#include "framework/text/measureText.h"
#include "framework/text/textHitTest.h"
#include "framework/windows/messages.h"

#include <gtest/gtest.h>

using framework::controls::MouseEvent;
using framework::text::ComplexText;
using framework::text::Label;
using framework::text::TextMetrics;
using framework::text::TextRange;
using framework::text::TextStyle;
using framework::windows::kMsgRedraw;
using framework::windows::kMsgSetCursor;
using namespace frameworktest;

namespace {

class TextControls : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_HRESULT_SUCCEEDED(app::Application::instance().createFactories()); }
    IDWriteFactory *factory() const { return app::Application::instance().dwriteFactory(); }
    TextMetrics measure(const wchar_t *text, float size = 28.0f) const
    {
        TextMetrics metrics;
        EXPECT_TRUE(framework::text::measureText(text, testFont(), size, metrics)) << "measuring failed";
        return metrics;
    }
};

TEST(LineScan, TheLongestLineCountsItsLineFeedAndTheFirstOfEqualLengthWins)
{
    using framework::text::scanLines;
    auto scan = scanLines(L"a\nbcd", 5);
    EXPECT_EQ(scan.lineCount, 2u);
    EXPECT_EQ(scan.longestStart, 2u);
    EXPECT_EQ(scan.longestLength, 3u);
    scan = scanLines(L"ab\ncd", 5); // "ab\n" is 3 units, "cd" 2
    EXPECT_EQ(scan.longestStart, 0u);
    EXPECT_EQ(scan.longestLength, 3u);
    scan = scanLines(L"ab\nc\n", 5);
    EXPECT_EQ(scan.lineCount, 3u);
    EXPECT_EQ(scan.longestStart, 0u);
}

TEST_F(TextControls, MeasuringALetterALineFeedAndThreeLettersTakesTheThreeLetterLine)
{
    const TextMetrics both = measure(L"a\nbcd");
    const TextMetrics lastLine = measure(L"bcd");
    const TextMetrics oneLine = measure(L"a");
    EXPECT_FLOAT_EQ(both.width, lastLine.width);
    EXPECT_FLOAT_EQ(both.height, 2 * oneLine.height);
    EXPECT_GT(both.width, oneLine.width);
    EXPECT_GT(both.inkWidth, 0.0f);
    EXPECT_LT(both.inkWidth, both.width + 1.0f);
    EXPECT_GT(both.glyphHeight, 0.0f);
    // Design metrics scale with the size.
    EXPECT_NEAR(measure(L"bcd", 14.0f).width * 2, lastLine.width, 0.01f);
}

TEST_F(TextControls, MeasuringFailsForEmptyTextsAndFacesThatAreNotInstalled)
{
    TextMetrics metrics;
    EXPECT_FALSE(framework::text::measureText(L"", testFont(), 14, metrics));
    EXPECT_FALSE(framework::text::measureText(nullptr, testFont(), 14, metrics));
    auto missing = testFont();
    wcscpy_s(missing.family, L"No Such Family");
    EXPECT_FALSE(framework::text::measureText(L"abc", missing, 14, metrics));
    auto noSuchWeight = testFont();
    noSuchWeight.weight = DWRITE_FONT_WEIGHT_ULTRA_BLACK;
    EXPECT_FALSE(framework::text::measureText(L"abc", noSuchWeight, 14, metrics));

    // Text elements still draw with DirectWrite's fallback.
    EXPECT_HRESULT_SUCCEEDED(Label(L"abc", missing, TextStyle{}, factory(), 0, 0).creation);
}

TEST_F(TextControls, ConstructorsRecordTheFailureAndAnEmptyTextHasNoWidth)
{
    const Label label(nullptr, testFont(), TextStyle{}, factory(), 0, 0);
    EXPECT_EQ(label.creation, E_INVALIDARG);
    EXPECT_FALSE(label.layout) << "a failed text keeps no layout";
    Label empty(L"", testFont(), TextStyle{}, factory(), 5, 6);
    EXPECT_FLOAT_EQ(empty.width, 0.0f);
    EXPECT_FLOAT_EQ(empty.x, 5.0f);
    EXPECT_EQ(empty.kind, framework::controls::kKindLabel);
    EXPECT_EQ(empty.drawOptions, D2D1_DRAW_TEXT_OPTIONS_CLIP);
}

TEST_F(TextControls, ALabelRefitsItsBoxToALongerText)
{
    Label label(L"ab", testFont(), TextStyle{14.0f, 0xCCCCCC, 0, 0}, factory(), 0, 0);
    const float shortWidth = label.width;
    EXPECT_GT(shortWidth, 0.0f);
    const wchar_t *longer = L"a considerably longer caption";
    ASSERT_HRESULT_SUCCEEDED(label.setText(longer));
    Label fresh(longer, testFont(), TextStyle{14.0f, 0xCCCCCC, 0, 0}, factory(), 0, 0);
    EXPECT_FLOAT_EQ(label.width, fresh.width);
    EXPECT_FLOAT_EQ(label.height, fresh.height);
    EXPECT_GT(label.width, 4 * shortWidth);
    EXPECT_EQ(label.metrics.lineCount, 1u);
    EXPECT_FLOAT_EQ(label.layout->GetMaxWidth(), label.width);
    EXPECT_EQ(label.text, longer);
    EXPECT_EQ(label.setText(nullptr), E_INVALIDARG);
    EXPECT_EQ(label.text, longer);
}

TEST_F(TextControls, ANewTextKeepsAlignmentWrappingAndEllipsisTrimming)
{
    framework::text::TextInput path(L"C:\\Program Files\\Kestrune", testFont(),
                                    framework::text::ParagraphSettings{DWRITE_TEXT_ALIGNMENT_TRAILING,
                                                                       DWRITE_PARAGRAPH_ALIGNMENT_CENTER,
                                                                       DWRITE_WORD_WRAPPING_NO_WRAP},
                                    TextStyle{14, 0xCCCCCC, 0, 0}, factory(), 20, 30, 120, 24);
    EXPECT_EQ(path.kind, framework::controls::kKindTextInput);
    Microsoft::WRL::ComPtr<IDWriteInlineObject> ellipsis;
    ASSERT_HRESULT_SUCCEEDED(factory()->CreateEllipsisTrimmingSign(path.layout.Get(), &ellipsis));
    const DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, 0, 0};
    ASSERT_HRESULT_SUCCEEDED(path.layout->SetTrimming(&trimming, ellipsis.Get()));

    ASSERT_HRESULT_SUCCEEDED(path.setText(L"D:\\A very long folder name\\that does not fit\\Kestrune"));
    DWRITE_TRIMMING kept = {};
    Microsoft::WRL::ComPtr<IDWriteInlineObject> sign;
    ASSERT_HRESULT_SUCCEEDED(path.layout->GetTrimming(&kept, &sign));
    EXPECT_EQ(kept.granularity, DWRITE_TRIMMING_GRANULARITY_CHARACTER);
    EXPECT_NE(sign.Get(), nullptr);
    // The long text is cut to the box.
    EXPECT_LE(path.metrics.width, 120.0f);
    EXPECT_EQ(path.layout->GetTextAlignment(), DWRITE_TEXT_ALIGNMENT_TRAILING);
    EXPECT_EQ(path.layout->GetWordWrapping(), DWRITE_WORD_WRAPPING_NO_WRAP);
    EXPECT_FLOAT_EQ(path.layout->GetMaxWidth(), 120.0f);
    FLOAT fontSize = 0;
    ASSERT_HRESULT_SUCCEEDED(path.layout->GetFontSize(0, &fontSize));
    EXPECT_FLOAT_EQ(fontSize, 14.0f);
}

TEST_F(TextControls, WithoutAMonitorProfileColoursStayAsGiven)
{
    if (framework::resources::monitorProfilePath()) {
        GTEST_SKIP() << "this display has a colour profile";
    }
    uint32_t colour = 0x123456;
    uint32_t converted = 0;
    EXPECT_FALSE(framework::resources::convertColours(&colour, &converted, 1));
    EXPECT_EQ(converted, 0u);
    Label label(L"x", testFont(), TextStyle{14.0f, 0x123456, 0, 0}, factory(), 0, 0);
    EXPECT_EQ(label.colour, 0x123456u);
}

class RangeHover : public TextControls {
protected:
    void SetUp() override
    {
        text = std::make_unique<ComplexText>(sink.handle(), L"Read the licence and the policy", testFont(),
                                             framework::text::ParagraphSettings{}, TextStyle{14, 0x999999, 0, 0},
                                             factory(), 10.0f, 20.0f, 500.0f, 40.0f);
        const TextStyle normal{14, 0x999999, 0, 0};
        const TextStyle hover{14, 0xFFFFFF, 1, 0};
        text->ranges = {TextRange{9, 7, normal, hover, &countClick}, TextRange{25, 6, normal, hover, nullptr}};
        clicks = 0;
    }

    // The middle of a text position, in window coordinates.
    MouseEvent over(uint32_t position)
    {
        framework::text::TextBox box = {};
        EXPECT_HRESULT_SUCCEEDED(framework::text::textPositionBox(text->layout.Get(), position, box));
        return MouseEvent{text->x + box.left + box.width / 2, text->y + box.top + box.height / 2, 0, 0};
    }

    bool underlined(uint32_t position)
    {
        BOOL underline = FALSE;
        text->layout->GetUnderline(position, &underline);
        return underline != FALSE;
    }

    static void countClick(HWND) { ++clicks; }

    static inline int clicks = 0;
    MessageSink sink;
    std::unique_ptr<ComplexText> text;
};

TEST_F(RangeHover, EnteringMovingWithinAndSwitchingRangesChangeTheLookOnlyWhenTheRangeChanges)
{
    EXPECT_TRUE(text->interactive);
    text->mouseMove(over(11));
    EXPECT_EQ(text->hoveredRange, 0);
    EXPECT_TRUE(underlined(11));
    EXPECT_FALSE(underlined(27));
    EXPECT_EQ(sink.take(kMsgRedraw), 1);
    const auto cursors = sink.takeAll(kMsgSetCursor);
    ASSERT_EQ(cursors.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(cursors[0].wParam), text->handCursor);

    text->mouseMove(over(13)); // same range
    EXPECT_EQ(sink.take(kMsgRedraw), 0);
    EXPECT_EQ(sink.take(kMsgSetCursor), 0);

    text->mouseMove(over(27)); // straight into the other range
    EXPECT_EQ(text->hoveredRange, 1);
    EXPECT_FALSE(underlined(11));
    EXPECT_TRUE(underlined(27));
    EXPECT_EQ(sink.take(kMsgRedraw), 1);
    EXPECT_EQ(sink.take(kMsgSetCursor), 2); // the old cursor back, then the hand

    text->mouseMove(over(2)); // plain words
    EXPECT_EQ(text->hoveredRange, -1);
    EXPECT_FALSE(underlined(27));
    EXPECT_EQ(sink.take(kMsgRedraw), 1);
}

TEST_F(RangeHover, PointsOffTheGlyphsFindTheNearestPosition)
{
    using framework::text::textPositionAt;
    uint32_t position = 99;
    ASSERT_HRESULT_SUCCEEDED(textPositionAt(text->layout.Get(), -20.0f, 5.0f, position));
    EXPECT_EQ(position, 0u);
    ASSERT_HRESULT_SUCCEEDED(textPositionAt(text->layout.Get(), 490.0f, 60.0f, position));
    EXPECT_EQ(position, 30u); // the last letter of "policy"
    // So the link at the end stays hovered to the right of its last glyph.
    text->mouseMove(MouseEvent{10.0f + 480.0f, 25.0f, 0, 0});
    EXPECT_EQ(text->hoveredRange, 1);
}

TEST_F(RangeHover, ClicksRunTheHoveredRangesActionAndLeavingRestoresTheLook)
{
    text->click();
    EXPECT_EQ(clicks, 0);
    text->mouseMove(over(12));
    text->click();
    EXPECT_EQ(clicks, 1);
    text->mouseMove(over(28));
    text->click(); // no action on this range
    EXPECT_EQ(clicks, 1);
    text->hovered = true;
    text->mouseLeave();
    EXPECT_FALSE(text->hovered);
    EXPECT_EQ(text->hoveredRange, -1);
    EXPECT_FALSE(underlined(28));
    ASSERT_HRESULT_SUCCEEDED(text->setText(L"Other words"));
    EXPECT_TRUE(text->ranges.empty());
    text->mouseMove(over(1)); // no ranges: nothing happens
    sink.take(kMsgRedraw);
    text->mouseMove(over(3));
    EXPECT_EQ(sink.take(kMsgRedraw), 0);
}

TEST_F(TextControls, LeavingALinkRestoresItsColourAndTheCursorFromBeforeIt)
{
    MessageSink sink;
    const HCURSOR arrow = ::LoadCursorW(nullptr, IDC_ARROW);
    framework::buttons::UrlButton link(sink.handle(), L"Privacy", testFont(), TextStyle{13, 0x808080, 1, 0}, factory(),
                                       0xFFFFFF, 0, 0);
    EXPECT_EQ(link.kind, framework::controls::kKindUrlButton);
    EXPECT_TRUE(link.interactive);
    EXPECT_GT(link.width, 0.0f);
    ::SetCursor(arrow);
    link.mouseEnter();
    EXPECT_EQ(link.colour, 0xFFFFFFu);
    EXPECT_TRUE(link.hovered);
    auto posted = sink.takeAll(kMsgSetCursor);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(posted[0].wParam), link.handCursor);
    link.mouseLeave();
    EXPECT_EQ(link.colour, link.normalColour);
    EXPECT_FALSE(link.hovered);
    posted = sink.takeAll(kMsgSetCursor);
    ASSERT_EQ(posted.size(), 1u);
    EXPECT_EQ(reinterpret_cast<HCURSOR>(posted[0].wParam), arrow);
}

} // namespace
