#include "ui/layoutRules.h"

#include <gtest/gtest.h>

namespace {

using namespace ui;

TEST(TextButtonGeometry, ShortCaptionsGetWiderMarginsAndAMinimumHeight)
{
    EXPECT_EQ(textButtonMargin(L"OK"), 30.0f);
    EXPECT_EQ(textButtonMargin(L"NO"), 30.0f);
    EXPECT_EQ(textButtonMargin(L"YES"), 30.0f);
    EXPECT_EQ(textButtonMargin(L"BACK"), 22.0f);
    EXPECT_EQ(textButtonMargin(L"START INSTALL"), 22.0f);

    const Size ok = textButtonSize(L"OK", 20.0f, 17.0f);
    EXPECT_EQ(ok.width, 80.0f);
    EXPECT_EQ(ok.height, 30.0f) << "a caption under 18 pixels still gives a 30-pixel button";
    EXPECT_EQ(textButtonSize(L"BACK", 40.0f, 19.0f).height, 31.0f);
    EXPECT_EQ(textButtonSize(L"BACK", 40.0f, 19.0f).width, 84.0f);
}

TEST(ProgressLine, FillFollowsTheFractionBetweenCaps)
{
    EXPECT_EQ(progressLineWidth(0.0f), 0.0f);
    EXPECT_EQ(progressLineWidth(0.001f), 18.0f);
    EXPECT_EQ(progressLineWidth(0.5f), 17.0f + 307.0f);
    EXPECT_EQ(progressLineWidth(0.98f), 618.0f);
    EXPECT_EQ(progressLineWidth(0.99f), 647.0f);
    EXPECT_EQ(progressLineWidth(1.0f), 647.0f);
    EXPECT_EQ(progressLineWidth(1.5f), 647.0f);
    // Negative progress (no Content-Length) never grows the line past its cap.
    EXPECT_LE(progressLineWidth(-0.01f), kProgressLineCap);
}

TEST(ProgressLine, AssistiveTechnologyReadsWholePercentAtMostFourTimesASecond)
{
    EXPECT_EQ(progressValueText(0.0f), L"0 %");
    EXPECT_EQ(progressValueText(0.42f), L"42 %");
    EXPECT_EQ(progressValueText(0.29f), L"29 %");
    EXPECT_EQ(progressValueText(0.999f), L"99 %") << "100 % only when done";
    EXPECT_EQ(progressValueText(1.0f), L"100 %");
    EXPECT_EQ(progressValueText(-0.01f), L"0 %");

    EXPECT_TRUE(progressAnnouncementDue(1000, std::nullopt));
    EXPECT_FALSE(progressAnnouncementDue(1249, 1000));
    EXPECT_TRUE(progressAnnouncementDue(1250, 1000));
    EXPECT_TRUE(progressAnnouncementDue(900, 1000)) << "a clock that went back";
}

TEST(MessageBoxGeometry, SizeComesFromTheMeasuredTextWithAMinimumWidth)
{
    const Size empty = messageBoxSize(std::nullopt);
    EXPECT_EQ(empty.width, 450.0f);
    EXPECT_EQ(empty.height, 155.0f);
    EXPECT_EQ(messageBoxSize(Size{40.0f, 34.0f}).width, 250.0f);
    EXPECT_EQ(messageBoxSize(Size{40.0f, 34.0f}).height, 174.0f);
    EXPECT_EQ(messageBoxSize(Size{612.4f, 68.6f}).width, 762.0f);
    EXPECT_EQ(messageBoxSize(Size{612.4f, 68.6f}).height, 209.0f);
}

TEST(FontDependentPlacement, CheckBoxLabelAndFinishTitle)
{
    EXPECT_EQ(checkBoxLabelOffset(L"Segoe UI", 400), 4.0f);
    EXPECT_EQ(checkBoxLabelOffset(L"Tahoma", 400), 3.0f);
    EXPECT_EQ(checkBoxLabelOffset(L"Tahoma", 700), 2.0f);
    EXPECT_EQ(checkBoxLabelOffset(L"Calibri", 300), 2.0f);
    EXPECT_EQ(finishTitleX(300), 301.0f);
    EXPECT_EQ(finishTitleX(400), 295.0f);
}

TEST(Shields, PictureFollowsTheWindowsVersion)
{
    EXPECT_EQ(expressInstallShield(WindowsVersion{6, 0}).left, 27.0f);
    EXPECT_EQ(expressInstallShield(WindowsVersion{6, 1}).left, 88.0f);
    EXPECT_EQ(expressInstallShield(WindowsVersion{10, 0}).left, 143.0f);
    EXPECT_EQ(expressInstallShield(WindowsVersion{10, 0}).height, 23.0f);
    EXPECT_EQ(expressInstallShield(std::nullopt).left, 88.0f);
    EXPECT_EQ(startInstallShield(WindowsVersion{6, 0}).left, 325.0f);
    EXPECT_EQ(startInstallShield(WindowsVersion{10, 0}).top, 436.0f);
    EXPECT_EQ(startInstallShield(WindowsVersion{6, 3}).width, 14.0f);
    EXPECT_EQ(startInstallShield(std::nullopt).left, 369.0f);
}

std::optional<std::wstring> noShortForm(const std::wstring &)
{
    return std::nullopt;
}

TEST(Browse, VendorFolderIsAppendedWithoutDoubledBackslash)
{
    EXPECT_EQ(destinationFromChosenFolder(L"C:\\", noShortForm).destination, L"C:\\Kestrune Software");
    EXPECT_EQ(destinationFromChosenFolder(L"D:\\Music", noShortForm).destination, L"D:\\Music\\Kestrune Software");
}

TEST(Browse, LongFoldersUseTheirShortFormUpTo241Characters)
{
    const std::wstring folder241 = L"C:\\" + std::wstring(238, L'a');
    const BrowseOutcome used = destinationFromChosenFolder(folder241, noShortForm);
    ASSERT_EQ(used.kind, BrowseOutcome::Kind::Use);
    EXPECT_EQ(used.destination.size(), 259u);

    const std::wstring folder242 = L"C:\\" + std::wstring(239, L'a');
    int shortFormRequests = 0;
    const BrowseOutcome shortened = destinationFromChosenFolder(folder242, [&](const std::wstring &path) {
        ++shortFormRequests;
        EXPECT_EQ(path, folder242);
        return std::optional<std::wstring>(L"C:\\AAAAAA~1");
    });
    EXPECT_EQ(shortFormRequests, 1);
    ASSERT_EQ(shortened.kind, BrowseOutcome::Kind::Use);
    EXPECT_EQ(shortened.destination, L"C:\\AAAAAA~1\\Kestrune Software");

    const BrowseOutcome noShort = destinationFromChosenFolder(folder242, noShortForm);
    EXPECT_EQ(noShort.kind, BrowseOutcome::Kind::Ignore);

    const std::wstring short242 = L"C:\\" + std::wstring(239, L'b');
    const BrowseOutcome refused = destinationFromChosenFolder(
        folder242, [&](const std::wstring &) { return std::optional<std::wstring>(short242); });
    EXPECT_EQ(refused.kind, BrowseOutcome::Kind::PathTooLong);
    const std::wstring short241 = L"C:\\" + std::wstring(238, L'b');
    EXPECT_EQ(destinationFromChosenFolder(folder242,
                                          [&](const std::wstring &) { return std::optional<std::wstring>(short241); })
                  .kind,
              BrowseOutcome::Kind::Use);
}

} // namespace

namespace {

TEST(Centring, AnElementSharesItsCentreLineWithItsReference)
{
    using ui::centredX;
    EXPECT_FLOAT_EQ(centredX(0.0f, 329.0f, 100.0f), 379.0f) << "an empty title sits on the emblem's centre";
    EXPECT_FLOAT_EQ(centredX(300.0f, 329.0f, 100.0f), 229.0f);
    EXPECT_FLOAT_EQ(centredX(100.0f, 329.0f, 100.0f), 329.0f);
}

TEST(HandedOverWindow, IsPlacedInsideTheWorkArea)
{
    struct Row {
        RECT requested;
        RECT placed;
    };
    const RECT workArea = {0, 0, 1280, 984};
    const SIZE ownSize = {767, 444};
    const Row rows[] = {
        {{100, 120, 867, 564}, {100, 120, 867, 564}},
        {{5000, 5000, 5767, 5444}, {513, 540, 1280, 984}},
        {{-5000, -300, -4233, 144}, {0, 0, 767, 444}},
        {{1000, 900, 1767, 1344}, {513, 540, 1280, 984}},
        // Larger than the monitor: cut to it.
        {{-10, -10, 3000, 2000}, {0, 0, 1280, 984}},
        // Empty or inverted: the window keeps its own size.
        {{200, 200, 200, 200}, {200, 200, 967, 644}},
        {{600, 600, 100, 100}, {513, 540, 1280, 984}},
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, {0, 0, 1280, 984}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(testing::Message() << row.requested.left << "," << row.requested.top << "," << row.requested.right
                                        << "," << row.requested.bottom);
        const RECT placed = placeInWorkArea(row.requested, ownSize, workArea);
        EXPECT_EQ(placed.left, row.placed.left);
        EXPECT_EQ(placed.top, row.placed.top);
        EXPECT_EQ(placed.right, row.placed.right);
        EXPECT_EQ(placed.bottom, row.placed.bottom);
    }
    const RECT secondMonitor = {1280, 0, 2560, 1024};
    const RECT placed = placeInWorkArea({0, 0, 767, 444}, ownSize, secondMonitor);
    EXPECT_EQ(placed.left, 1280);
    EXPECT_EQ(placed.right, 2047);
}

} // namespace
