// Geometry and content of the pages, checked on the real window.

#include "tests/ui/uiTestSupport.h"

#include "app/Application.h"
#include "app/privileges.h"
#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/buttons/UrlButton.h"
#include "framework/text/measureText.h"
#include "framework/windows/messages.h"
#include "kestrune/config.h"
#include "tests/framework/frameworkTestSupport.h"
#include "tests/support/process.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/ChooseFileTextField.h"
#include "ui/controls/ExpressInstallButton.h"
#include "ui/controls/ProgressBar.h"
#include "ui/controls/StartInstallButton.h"
#include "ui/controls/TextButton.h"
#include "ui/layoutRules.h"
#include "ui/pages/ChooseDirView.h"
#include "ui/pages/ErrorPageView.h"
#include "ui/pages/FinishView.h"
#include "ui/pages/InstallingView.h"

#include <gtest/gtest.h>

#include <shellapi.h>

#include <algorithm>
#include <cmath>
#include <memory>

namespace {

using framework::text::Text;
using ui::controls::CheckBox;
using ui::controls::ChooseFileTextField;
using ui::controls::ExpressInstallButton;
using ui::controls::StartInstallButton;
using ui::controls::TextButton;

class PagesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::prepareApplication();
        window_ = uitest::openMainWindow();
        ASSERT_TRUE(window_);
    }

    framework::views::View &page(int id) const { return *window_->page(id); }

    Text &textOn(int pageId, unsigned stringId) const
    {
        auto *found = uitest::findText(page(pageId), app::loadString(stringId));
        EXPECT_NE(found, nullptr) << "string " << stringId << " on page " << pageId;
        return *found;
    }

    template <typename T> T &elementOn(int pageId, size_t index = 0) const
    {
        return *uitest::elementsOf<T>(page(pageId)).at(index);
    }

    TextButton &buttonOn(int pageId, unsigned captionId) const
    {
        for (auto *button : uitest::elementsOf<TextButton>(page(pageId))) {
            if (button->captionLabel().text == app::loadString(captionId)) {
                return *button;
            }
        }
        throw std::runtime_error("missing button");
    }

    // Sent like the worker sends it: the window frees the record.
    void sendData(int pageId, int64_t kind, int64_t value)
    {
        auto data = std::make_unique<framework::windows::PageData>(framework::windows::PageData{kind, value});
        ::SendMessageW(window_->handle(), framework::windows::kMsgViewData, static_cast<WPARAM>(pageId),
                       reinterpret_cast<LPARAM>(data.release()));
    }

    void showPage(int pageId)
    {
        ::PostMessageW(window_->handle(), framework::windows::kMsgShowView, static_cast<WPARAM>(pageId), 0);
        ASSERT_TRUE(uitest::pumpUntil([&] { return window_->getCurrentView()->id == pageId; }));
    }

    static float centre(const framework::controls::Item &item) { return item.x + item.width / 2.0f; }

    std::unique_ptr<ui::MainWindow> window_;
};

float measuredSpace(float size)
{
    framework::text::TextMetrics space{};
    EXPECT_TRUE(framework::text::measureText(L" ", app::Application::instance().font(), size, space));
    return space.width;
}

TEST_F(PagesTest, LicenceLinkStartsOneMeasuredSpaceAfterTheLicenceLine)
{
    const Text &line = textOn(1, app::ids::kLicenceLine);
    const Text &link = textOn(1, app::ids::kLicenceAgreement);
    const float space = std::round(measuredSpace(16.0f));
    EXPECT_GT(space, 0.0f);
    EXPECT_FLOAT_EQ(link.x, line.x + line.width + space);
    EXPECT_FLOAT_EQ(link.y, 232.0f);
    EXPECT_FLOAT_EQ(line.x, 143.0f);
    EXPECT_NE(dynamic_cast<const framework::buttons::UrlButton *>(&link), nullptr);
    EXPECT_TRUE(link.underline);
}

TEST_F(PagesTest, StartPageLaysOutGreetingExpressInstallAndManualInstall)
{
    const Text &welcome = textOn(1, app::ids::kWelcome);
    const Text &thanks = textOn(1, app::ids::kThankYou);
    EXPECT_FLOAT_EQ(welcome.x, 332.0f);
    EXPECT_FLOAT_EQ(welcome.y, 92.0f);
    EXPECT_FLOAT_EQ(thanks.x, 332.0f);
    EXPECT_FLOAT_EQ(thanks.y, welcome.y + welcome.height);

    const auto &express = elementOn<ExpressInstallButton>(1);
    EXPECT_FLOAT_EQ(express.x, 239.0f);
    EXPECT_FLOAT_EQ(express.y, 280.0f);
    EXPECT_FLOAT_EQ(express.width, 300.0f);
    EXPECT_FLOAT_EQ(express.height, 61.0f);
    EXPECT_FLOAT_EQ(express.caption().x, 239.0f + 67.0f);
    // Windows 10 and later: the 22 x 23 shield, one pixel lower than the
    // 20 x 24 one of older versions.
    uint32_t major = 0;
    uint32_t minor = 0;
    const bool known = app::getWorkstationVersion(major, minor);
    if (known && major >= 10) {
        EXPECT_FLOAT_EQ(express.shield().width, 22.0f);
        EXPECT_FLOAT_EQ(express.shield().height, 23.0f);
        EXPECT_FLOAT_EQ(express.shield().y, 280.0f + 16.0f);
    } else {
        EXPECT_FLOAT_EQ(express.shield().width, 20.0f);
        EXPECT_FLOAT_EQ(express.shield().height, 24.0f);
        EXPECT_FLOAT_EQ(express.shield().y, 280.0f + 15.0f);
    }
    EXPECT_FLOAT_EQ(express.shield().x, 239.0f + 23.0f);

    const Text &manual = textOn(1, app::ids::kManualInstall);
    EXPECT_FLOAT_EQ(manual.x, 343.0f);
    EXPECT_FLOAT_EQ(manual.y, express.y + express.height + 12.0f);
    EXPECT_FLOAT_EQ(manual.y, 353.0f);
}

TEST_F(PagesTest, TextButtonsHaveTheirMarginsAndMinimumHeight)
{
    const TextButton &back = buttonOn(2, app::ids::kBack);
    EXPECT_FLOAT_EQ(back.captionLabel().x - back.x, 22.0f);
    EXPECT_FLOAT_EQ(back.width, 44.0f + back.captionLabel().width);
    EXPECT_FLOAT_EQ(back.captionLabel().y - back.y, 6.0f);
    EXPECT_GE(back.height, 30.0f);
    EXPECT_FLOAT_EQ(back.height, std::max(30.0f, back.captionLabel().height + 12.0f));
    // 14-pixel captions are shorter than 18 pixels in every UI font we use.
    if (back.captionLabel().height < 18.0f) {
        EXPECT_FLOAT_EQ(back.height, 30.0f);
    }
    EXPECT_FLOAT_EQ(back.x, 290.0f);
    EXPECT_FLOAT_EQ(back.y, 390.0f);
    EXPECT_FLOAT_EQ(buttonOn(5, app::ids::kExit).captionLabel().x - buttonOn(5, app::ids::kExit).x, 22.0f);
}

TEST_F(PagesTest, StartInstallStandsRightOfBackWithRoomForItsShield)
{
    const TextButton &back = buttonOn(2, app::ids::kBack);
    const auto &start = elementOn<StartInstallButton>(2);
    EXPECT_FLOAT_EQ(start.x, back.x + back.width + 16.0f);
    EXPECT_FLOAT_EQ(start.y, 390.0f);
    const float icon = start.shield().width;
    EXPECT_FLOAT_EQ(start.width, 44.0f + start.captionLabel().width + icon - 5.0f);
    EXPECT_FLOAT_EQ(start.captionLabel().x, start.x + 22.0f + icon - 2.0f);
    EXPECT_FLOAT_EQ(start.shield().x, start.x + 12.0f);
    EXPECT_FLOAT_EQ(start.shield().y, start.y + 8.0f);
}

TEST_F(PagesTest, ChooseDirectoryFieldAndCheckBoxes)
{
    const auto &field = elementOn<ChooseFileTextField>(2);
    EXPECT_FLOAT_EQ(field.x, 80.0f);
    EXPECT_FLOAT_EQ(field.y, 158.0f);
    EXPECT_FLOAT_EQ(field.width, 594.0f);
    const Text &browse = textOn(2, app::ids::kBrowse);
    EXPECT_EQ(browse.text, app::loadString(app::ids::kBrowse));
}

TEST_F(PagesTest, CheckBoxesStackFiveApart)
{
    const auto &first = elementOn<CheckBox>(2, 0);
    const auto &second = elementOn<CheckBox>(2, 1);
    EXPECT_FLOAT_EQ(first.x, 91.0f);
    EXPECT_FLOAT_EQ(first.y, 212.0f);
    EXPECT_FLOAT_EQ(second.x, 91.0f);
    EXPECT_FLOAT_EQ(second.y, first.y + first.height + 5.0f);
    EXPECT_GE(first.height, 13.0f);
    const auto &font = app::Application::instance().font();
    EXPECT_FLOAT_EQ(first.captionLabel().x, 91.0f + 19.0f);
    EXPECT_FLOAT_EQ(first.captionLabel().y, 212.0f - ui::checkBoxLabelOffset(font.family, font.weight));
    EXPECT_EQ(first.captionLabel().text, app::loadString(app::ids::kStartWhenFinished));
}

TEST_F(PagesTest, InstallingPageShowsEveryStatusAndKeepsTheTextForUnknownOnes)
{
    showPage(3);
    auto &installing = static_cast<ui::pages::InstallingView &>(page(3));
    const unsigned expected[] = {app::ids::kStatusChecking, app::ids::kStatusConnecting, app::ids::kStatusDownloading,
                                 app::ids::kStatusInstalling, app::ids::kStatusCancelling};
    for (int64_t status = 0; status < 5; ++status) {
        sendData(3, 1, status);
        EXPECT_EQ(installing.status().text, app::loadString(expected[status])) << status;
    }
    sendData(3, 1, 5);
    sendData(3, 1, -1);
    EXPECT_EQ(installing.status().text, app::loadString(app::ids::kStatusCancelling));
    EXPECT_FLOAT_EQ(installing.status().x, 280.0f);
    EXPECT_FLOAT_EQ(installing.status().y, 95.0f);
    EXPECT_FLOAT_EQ(buttonOn(3, app::ids::kStop).x, 360.0f);
}

TEST_F(PagesTest, ProgressLineFollowsTheProgressMessages)
{
    auto &installing = static_cast<ui::pages::InstallingView &>(page(3));
    const auto &bar = installing.progressBar();
    EXPECT_FLOAT_EQ(bar.x, 63.0f);
    EXPECT_FLOAT_EQ(bar.y, 145.0f);
    EXPECT_FLOAT_EQ(bar.line().width, 0.0f);
    struct Case {
        int64_t value;
        float shown;
    };
    for (const Case c : {Case{10, 18.0f}, Case{5000, 17.0f + 307.0f}, Case{9800, 618.0f}, Case{9900, 647.0f},
                         Case{10000, 647.0f}, Case{0, 0.0f}}) {
        sendData(3, 2, c.value);
        EXPECT_FLOAT_EQ(bar.line().width, c.shown) << c.value;
        EXPECT_EQ(bar.line().right - bar.line().left, static_cast<uint32_t>(c.shown)) << c.value;
        EXPECT_FLOAT_EQ(bar.fraction(), static_cast<float>(c.value) / 10000.0f);
    }
    EXPECT_FLOAT_EQ(bar.line().x, 63.0f + 11.0f);
}

TEST_F(PagesTest, FinishPageOutcomesAndTitlePosition)
{
    auto &finish = static_cast<ui::pages::FinishView &>(page(4));
    const auto &font = app::Application::instance().font();
    EXPECT_FLOAT_EQ(finish.title().x, font.weight == 300 ? 301.0f : 295.0f);
    EXPECT_FLOAT_EQ(finish.title().y, 187.0f);
    EXPECT_FLOAT_EQ(finish.body().y, 237.0f);
    EXPECT_NEAR(centre(finish.body()), centre(finish.title()), 0.01f);
    const TextButton &button = buttonOn(4, app::ids::kFinish);
    EXPECT_NEAR(centre(button), centre(finish.body()), 0.01f);
    EXPECT_FLOAT_EQ(button.y, 390.0f);
    const float buttonX = button.x;

    sendData(4, 1, 2);
    EXPECT_EQ(finish.title().text, app::loadString(app::ids::kSetupCancelled));
    EXPECT_EQ(finish.body().text, app::loadString(app::ids::kCancelledText));
    EXPECT_NEAR(centre(finish.body()), centre(finish.title()), 0.01f);
    EXPECT_FLOAT_EQ(button.x, buttonX) << "FINISH stays where it was placed";
    EXPECT_FLOAT_EQ(finish.title().x, font.weight == 300 ? 301.0f : 295.0f);

    sendData(4, 1, 1);
    EXPECT_EQ(finish.title().text, app::loadString(app::ids::kSetupFinished));
    EXPECT_EQ(finish.body().text, app::loadString(app::ids::kFinishedBeforeCancelText));
    sendData(4, 2, 0);
    sendData(4, 1, 7);
    EXPECT_EQ(finish.body().text, app::loadString(app::ids::kFinishedBeforeCancelText));
    sendData(4, 1, 0);
    EXPECT_EQ(finish.body().text, app::loadString(app::ids::kFinishedText));
}

TEST_F(PagesTest, ErrorPageCentresItsTextsAndASecondErrorWithTheSameIdKeepsThem)
{
    auto &error = static_cast<ui::pages::ErrorPageView &>(page(5));
    auto &options = uitest::theInstaller().options();
    options.destination = L"C:\\First\\Kestrune Software";
    sendData(5, 20001, 5);
    EXPECT_EQ(error.title().text, app::loadString(404));
    EXPECT_NE(error.body().text.find(L"0x5"), std::wstring::npos)
        << std::string(error.body().text.begin(), error.body().text.end());
    EXPECT_NE(error.body().text.find(L"C:\\First\\Kestrune Software"), std::wstring::npos);
    EXPECT_NEAR(centre(error.title()), 329.0f + 50.0f, 0.01f);
    EXPECT_FLOAT_EQ(error.title().y, 196.0f);
    EXPECT_NEAR(centre(error.body()), centre(error.title()), 0.01f);
    EXPECT_GT(error.body().width, 0.0f);
    const std::wstring firstBody = error.body().text;

    options.destination = L"D:\\Second\\Kestrune Software";
    sendData(5, 20001, 5);
    EXPECT_EQ(error.body().text, firstBody) << "the old directory stays in brackets";

    sendData(5, 20002, 0);
    EXPECT_EQ(error.title().text, app::loadString(406));
    EXPECT_NE(error.body().text.find(L"D:\\Second"), std::wstring::npos);
    EXPECT_NEAR(centre(error.body()), centre(error.title()), 0.01f);

    sendData(5, 20100, 0);
    EXPECT_EQ(error.title().text, app::loadString(406)) << "ids without texts change nothing";

    EXPECT_FLOAT_EQ(buttonOn(5, app::ids::kRetry).x + buttonOn(5, app::ids::kRetry).width, 329.0f);
    EXPECT_FLOAT_EQ(buttonOn(5, app::ids::kExit).x, 429.0f);
    EXPECT_FLOAT_EQ(buttonOn(5, app::ids::kExit).y, 390.0f);
}

// Pixels of the window surface brighter than `threshold` in every channel,
// inside a rectangle in DIPs.
int brightPixels(framework::windows::Direct2dWindow &window, float left, float top, float right, float bottom,
                 uint32_t threshold)
{
    EXPECT_HRESULT_SUCCEEDED(window.render(nullptr));
    const UINT width = window.getPixelWidth();
    const std::vector<uint32_t> pixels = frameworktest::surfacePixels(window, width, window.getPixelHeight());
    int count = 0;
    const POINT from = uitest::toPixels(window, left, top);
    const POINT to = uitest::toPixels(window, right, bottom);
    for (LONG y = from.y; y < to.y; ++y) {
        for (LONG x = from.x; x < to.x; ++x) {
            const uint32_t pixel = pixels[static_cast<size_t>(y) * width + static_cast<size_t>(x)];
            if (((pixel >> 16) & 0xFF) >= threshold && ((pixel >> 8) & 0xFF) >= threshold &&
                (pixel & 0xFF) >= threshold) {
                ++count;
            }
        }
    }
    return count;
}

TEST_F(PagesTest, OutdatedInstallerErrorShowsTheHostAsALinkThatLightsUpUnderTheMouse)
{
    showPage(5);
    auto &error = static_cast<ui::pages::ErrorPageView &>(page(5));
    sendData(5, 20023, 465);
    const auto &body = error.body();
    const std::wstring host = KESTRUNE_SITE_HOST;
    const size_t position = body.text.find(host);
    ASSERT_NE(position, std::wstring::npos);
    ASSERT_EQ(body.ranges.size(), 1u);
    EXPECT_EQ(body.ranges[0].start, position);
    EXPECT_EQ(body.ranges[0].length, host.size());
    EXPECT_TRUE(body.ranges[0].normal.underline);
    EXPECT_NE(body.ranges[0].onClick, nullptr);

    const float left = body.x;
    const float right = body.x + body.width;
    const float top = body.y;
    const float bottom = body.y + body.height;

    // The rest of the text is 0x999999 and the link 0xD7D7D7: nothing
    // reaches white until the link is under the mouse.
    EXPECT_EQ(brightPixels(*window_, left, top, right, bottom, 0xEE), 0);
    // Sweep the pointer along the text until the link takes it.
    for (float x = left + 1.0f; x < right && body.hoveredRange != 0; x += 3.0f) {
        for (float y = top + 4.0f; y < bottom && body.hoveredRange != 0; y += 8.0f) {
            uitest::mouseMove(*window_, x, y);
        }
    }
    uitest::pump(50);
    ASSERT_EQ(body.hoveredRange, 0) << "the pointer never found the link";
    EXPECT_GT(brightPixels(*window_, left, top, right, bottom, 0xEE), 10) << "white under the mouse";
    uitest::saveScreenshot(*window_, L"error-link-hovered");

    uitest::mouseMove(*window_, 20.0f, 420.0f);
    uitest::pump(50);
    EXPECT_EQ(body.hoveredRange, -1);
    EXPECT_EQ(brightPixels(*window_, left, top, right, bottom, 0xEE), 0);
}

class BrowseTest : public PagesTest {
protected:
    void SetUp() override
    {
        PagesTest::SetUp();
        uitest::theInstaller().options().destination = L"C:\\Program Files\\Kestrune Software";
        showPage(2);
    }

    ChooseFileTextField &field() const { return elementOn<ChooseFileTextField>(2); }

    // Browse with the picker answering `chosen`.
    void browseTo(const std::wstring &chosen)
    {
        field().folderPicker = [chosen](HWND owner) -> std::optional<std::wstring> {
            EXPECT_NE(owner, nullptr);
            return chosen;
        };
        uitest::click(*window_, textOn(2, app::ids::kBrowse));
        uitest::pump(100);
    }

    const std::wstring &destination() const { return uitest::theInstaller().options().destination; }
};

TEST_F(BrowseTest, TheVendorFolderGoesUnderTheChosenFolder)
{
    const float pathWidth = field().pathText().width;
    EXPECT_FLOAT_EQ(field().pathText().x, 80.0f + 43.0f);
    EXPECT_FLOAT_EQ(pathWidth, 483.0f);
    EXPECT_FLOAT_EQ(textOn(2, app::ids::kBrowse).x, 80.0f + 594.0f - 58.0f);

    browseTo(L"C:\\");
    EXPECT_EQ(destination(), L"C:\\Kestrune Software");
    EXPECT_EQ(field().pathText().text, L"C:\\Kestrune Software");
    browseTo(L"D:\\Music");
    EXPECT_EQ(destination(), L"D:\\Music\\Kestrune Software");
    EXPECT_EQ(field().pathText().text, L"D:\\Music\\Kestrune Software");
}

TEST_F(BrowseTest, A241CharacterFolderIsUsedAsItIs)
{
    const std::wstring folder = L"C:\\" + std::wstring(238, L'a');
    browseTo(folder);
    EXPECT_EQ(destination().size(), 259u);
    EXPECT_EQ(destination(), folder + L"\\Kestrune Software");
}

TEST_F(BrowseTest, A242CharacterFolderWithoutAShortFormChangesNothing)
{
    browseTo(L"C:\\" + std::wstring(239, L'a'));
    EXPECT_EQ(destination(), L"C:\\Program Files\\Kestrune Software");
}

// A folder tree of exactly `length` characters under `base`, ending with a
// 30-character name (whose short form is shorter) or made of 8-character
// names only (whose short form is the same).
std::wstring makeFolderOfLength(const std::wstring &base, size_t length, bool longLastName)
{
    std::wstring path = base;
    // The last name: 1 to 8 characters, or 30 to 38.
    const size_t lastMinimum = longLastName ? 30 : 1;
    while (path.size() + 9 + 1 + lastMinimum <= length) {
        path += L"\\abcdefgh";
        ::CreateDirectoryW(path.c_str(), nullptr);
    }
    path += L"\\" + std::wstring(length - path.size() - 1, L'z');
    ::CreateDirectoryW(path.c_str(), nullptr);
    return path;
}

// A folder right under C:\ with an 8.3 name, removed afterwards.
class ShortNamedFolder {
public:
    ShortNamedFolder() : path_(L"C:\\ui" + std::to_wstring(100000 + ::GetTickCount64() % 900000))
    {
        ::CreateDirectoryW(path_.c_str(), nullptr);
    }
    ~ShortNamedFolder()
    {
        std::wstring from = path_;
        from.push_back(L'\0');
        SHFILEOPSTRUCTW operation = {};
        operation.wFunc = FO_DELETE;
        operation.pFrom = from.c_str();
        operation.fFlags = FOF_SILENT | FOF_NOCONFIRMATION | FOF_NOERRORUI;
        ::SHFileOperationW(&operation);
    }
    ShortNamedFolder(const ShortNamedFolder &) = delete;
    ShortNamedFolder &operator=(const ShortNamedFolder &) = delete;
    [[nodiscard]] const std::wstring &path() const noexcept { return path_; }

private:
    std::wstring path_;
};

TEST_F(BrowseTest, ALongFolderIsReplacedByItsShortForm)
{
    ShortNamedFolder base;
    const std::wstring folder = makeFolderOfLength(base.path(), 242, true);
    ASSERT_EQ(folder.size(), 242u);
    wchar_t shortForm[MAX_PATH] = {};
    const DWORD shortLength = ::GetShortPathNameW(folder.c_str(), shortForm, MAX_PATH);
    if (shortLength == 0 || shortLength >= 242) {
        GTEST_SKIP() << "this file system gives no shorter short names";
    }
    browseTo(folder);
    EXPECT_EQ(destination(), std::wstring(shortForm) + L"\\Kestrune Software");
    EXPECT_LE(destination().size(), 259u);
}

TEST_F(BrowseTest, AFolderWhoseShortFormIsStillTooLongIsRefusedWithAnOwnerlessNotice)
{
    ShortNamedFolder base;
    const std::wstring folder = makeFolderOfLength(base.path(), 245, false);
    ASSERT_EQ(folder.size(), 245u);
    ASSERT_EQ(::GetFileAttributesW(folder.c_str()) & FILE_ATTRIBUTE_DIRECTORY,
              static_cast<DWORD>(FILE_ATTRIBUTE_DIRECTORY));
    wchar_t shortForm[MAX_PATH] = {};
    ASSERT_EQ(::GetShortPathNameW(folder.c_str(), shortForm, MAX_PATH), 245u) << "8.3 names are their own short form";
    std::wstring notice;
    bool mainWindowEnabled = false;
    HWND owner = reinterpret_cast<HWND>(1);
    uitest::whenMessageBoxOpens([&](HWND box) {
        notice = uitest::messageBoxText(box);
        mainWindowEnabled = ::IsWindowEnabled(window_->handle()) != FALSE;
        owner = ::GetWindow(box, GW_OWNER);
        uitest::clickBoxButton(box, app::loadString(app::ids::kOk));
    });
    browseTo(folder);
    ASSERT_TRUE(uitest::pumpUntil([&] { return !notice.empty() && uitest::openMessageBox() == nullptr; }));
    EXPECT_EQ(notice, app::loadString(app::ids::kPathTooLong));
    EXPECT_TRUE(mainWindowEnabled) << "the notice has no owner";
    EXPECT_EQ(owner, nullptr);
    EXPECT_EQ(destination(), L"C:\\Program Files\\Kestrune Software");
}

TEST_F(BrowseTest, ALongPathIsCutInTheMiddleKeepingTheLastFolder)
{
    const std::wstring longFolder = L"C:\\Users\\Somebody\\Documents\\" + std::wstring(60, L'm') + L"\\" +
                                    std::wstring(60, L'n') + L"\\Applications";
    browseTo(longFolder);
    const auto &path = field().pathText();
    ASSERT_EQ(path.text, longFolder + L"\\Kestrune Software");
    framework::text::TextMetrics full{};
    ASSERT_TRUE(framework::text::measureText(path.text.c_str(), app::Application::instance().font(), 14.0f, full));
    EXPECT_GT(full.width, path.width) << "the test path must not fit";
    DWRITE_TRIMMING trimming{};
    Microsoft::WRL::ComPtr<IDWriteInlineObject> sign;
    ASSERT_HRESULT_SUCCEEDED(path.layout->GetTrimming(&trimming, &sign));
    EXPECT_EQ(trimming.granularity, DWRITE_TRIMMING_GRANULARITY_CHARACTER);
    EXPECT_EQ(trimming.delimiter, static_cast<UINT32>(L'\\'));
    EXPECT_EQ(trimming.delimiterCount, 1u);
    EXPECT_NE(sign, nullptr);
    EXPECT_LE(path.metrics.width, path.width + 0.5f);
    uitest::saveScreenshot(*window_, L"choose-directory-long-path");
}

TEST_F(BrowseTest, CancellingTheSystemFolderPickerChangesNothing)
{
    bool pickerShown = false;
    uitest::whenWindowOpens(L"#32770", [&](HWND dialog) {
        pickerShown = true;
        ::PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
    });
    uitest::click(*window_, textOn(2, app::ids::kBrowse));
    ASSERT_TRUE(uitest::pumpUntil([&] { return pickerShown; }, 20000));
    uitest::pump(200);
    EXPECT_EQ(destination(), L"C:\\Program Files\\Kestrune Software");
}

} // namespace
