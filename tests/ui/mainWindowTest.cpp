// Page flow and closing rules of the main window, driven with real mouse
// and keyboard messages.

#include "tests/ui/uiTestSupport.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/windows/messages.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/ExpressInstallButton.h"
#include "ui/controls/TextButton.h"
#include "ui/pages/FinishView.h"
#include "ui/pages/InstallingView.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

using ui::controls::CheckBox;
using ui::controls::ExpressInstallButton;
using ui::controls::TextButton;

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::prepareApplication();
        auto &options = uitest::theInstaller().options();
        options.startWhenFinished = 1;
        options.createDesktopShortcut = 1;
        options.cancelRequested = 0;
        options.installSucceeded = 0;
        window_ = uitest::openMainWindow();
        ASSERT_TRUE(window_);
        uitest::takeQuit();
    }

    void TearDown() override
    {
        // Any run started by the test must be over before the next one.
        if (window_ && ::IsWindow(window_->handle())) {
            uitest::pumpUntil([&] { return currentPage() != 3; }, 15000);
        }
        window_.reset();
        uitest::pump(50);
        uitest::takeQuit();
    }

    int currentPage() const { return window_->getCurrentView()->id; }
    framework::views::View &page(int id) const { return *window_->page(id); }

    framework::text::Text &textOn(int pageId, unsigned stringId) const
    {
        auto *found = uitest::findText(page(pageId), app::loadString(stringId));
        EXPECT_NE(found, nullptr) << "string " << stringId << " on page " << pageId;
        return *found;
    }

    template <typename T> T &elementOn(int pageId, size_t index = 0) const
    {
        auto found = uitest::elementsOf<T>(page(pageId));
        EXPECT_LT(index, found.size());
        return *found.at(index);
    }

    TextButton &buttonOn(int pageId, unsigned captionId) const
    {
        for (auto *button : uitest::elementsOf<TextButton>(page(pageId))) {
            if (button->captionLabel().text == app::loadString(captionId)) {
                return *button;
            }
        }
        ADD_FAILURE() << "no button " << captionId;
        throw std::runtime_error("missing button");
    }

    void goToChooseDirectory()
    {
        uitest::click(*window_, textOn(1, app::ids::kManualInstall));
        ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 2; }));
    }

    void closeAndExpectImmediateEnd()
    {
        const HWND handle = window_->handle();
        ::PostMessageW(handle, WM_CLOSE, 0, 0);
        EXPECT_TRUE(uitest::pumpUntil([&] { return !::IsWindow(handle); }, 3000));
        EXPECT_EQ(uitest::openMessageBox(), nullptr);
        EXPECT_TRUE(uitest::takeQuit()) << "the message loop must end with the window";
    }

    std::unique_ptr<ui::MainWindow> window_;
};

TEST_F(MainWindowTest, ManualInstallLeadsToChooseDirectoryAndBackReturns)
{
    EXPECT_EQ(currentPage(), 1);
    goToChooseDirectory();
    EXPECT_TRUE(page(2).active);
    EXPECT_FALSE(page(1).active);
    uitest::click(*window_, buttonOn(2, app::ids::kBack));
    ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 1; }));
    EXPECT_TRUE(page(1).active);
}

TEST_F(MainWindowTest, CheckBoxesWriteTheOptionsAndKeepTheirStateAcrossPages)
{
    auto &options = uitest::theInstaller().options();
    goToChooseDirectory();
    auto &startWhenFinished = elementOn<CheckBox>(2, 0);
    auto &desktopShortcut = elementOn<CheckBox>(2, 1);
    EXPECT_TRUE(startWhenFinished.isChecked());
    EXPECT_TRUE(desktopShortcut.isChecked());

    uitest::click(*window_, startWhenFinished);
    uitest::pump(50);
    EXPECT_FALSE(startWhenFinished.isChecked());
    EXPECT_EQ(options.startWhenFinished, 0);
    EXPECT_EQ(options.createDesktopShortcut, 1);

    uitest::click(*window_, desktopShortcut);
    uitest::pump(50);
    EXPECT_EQ(options.createDesktopShortcut, 0);

    uitest::click(*window_, buttonOn(2, app::ids::kBack));
    ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 1; }));
    goToChooseDirectory();
    EXPECT_FALSE(startWhenFinished.isChecked());
    EXPECT_FALSE(desktopShortcut.isChecked());
    EXPECT_EQ(options.startWhenFinished, 0);

    uitest::click(*window_, desktopShortcut);
    uitest::pump(50);
    EXPECT_TRUE(desktopShortcut.isChecked());
    EXPECT_EQ(options.createDesktopShortcut, 1);
}

TEST_F(MainWindowTest, ClosingOnTheStartPageEndsAtOnce)
{
    closeAndExpectImmediateEnd();
}

TEST_F(MainWindowTest, ClosingOnTheChooseDirectoryPageEndsAtOnce)
{
    goToChooseDirectory();
    closeAndExpectImmediateEnd();
}

TEST_F(MainWindowTest, ClosingOnTheFinishAndErrorPagesEndsAtOnce)
{
    ::PostMessageW(window_->handle(), framework::windows::kMsgShowView, 5, 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 5; }));
    closeAndExpectImmediateEnd();

    window_ = uitest::openMainWindow(4);
    ASSERT_TRUE(window_);
    EXPECT_EQ(currentPage(), 4);
    closeAndExpectImmediateEnd();
}

TEST_F(MainWindowTest, TheCloseButtonGoesThroughTheSameClosingRules)
{
    // The overlay's close button: 27 x 20 at (width - 39, 7).
    uitest::clickAt(*window_, 767.0f - 39.0f + 13.0f, 17.0f);
    EXPECT_TRUE(uitest::pumpUntil([&] { return !::IsWindow(window_->handle()); }, 3000));
}

TEST_F(MainWindowTest, EscapeGoesThroughTheSameClosingRules)
{
    ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    EXPECT_TRUE(uitest::pumpUntil([&] { return !::IsWindow(window_->handle()); }, 3000));
    EXPECT_TRUE(uitest::takeQuit());
}

std::wstring text(unsigned id)
{
    return app::loadString(id);
}

std::vector<std::wstring> namesOf(const std::vector<framework::controls::Item *> &items)
{
    std::vector<std::wstring> names;
    for (const auto *item : items) {
        names.push_back(item->accessibleName());
    }
    return names;
}

std::wstring nameOf(const framework::controls::Item *item)
{
    return item != nullptr ? item->accessibleName() : L"(none)";
}

TEST_F(MainWindowTest, EachPageStartsOnItsMainButtonAndTabWalksItsControlsInReadingOrder)
{
    using namespace app::ids;
    struct Case {
        int page;
        std::vector<std::wstring> order;
        std::wstring initial;
    };
    const Case cases[] = {
        {1,
         {L"Minimize", L"Close", text(kLicenceAgreement), text(kExpressInstall), text(kManualInstall)},
         text(kExpressInstall)},
        {2,
         {L"Minimize", L"Close", text(kBrowse), text(kStartWhenFinished), text(kCreateDesktopShortcut), text(kBack),
          text(kStartInstall)},
         text(kStartInstall)},
        {3, {L"Minimize", L"Close", text(kStop)}, L"(none)"},
        {4, {L"Minimize", L"Close", text(kFinish)}, text(kFinish)},
        {5, {L"Minimize", L"Close", text(kRetry), text(kExit)}, text(kRetry)},
    };
    for (const Case &c : cases) {
        window_ = uitest::openMainWindow(c.page);
        ASSERT_TRUE(window_);
        EXPECT_EQ(namesOf(window_->actionableItems()), c.order) << c.page;
        EXPECT_EQ(nameOf(window_->focusedItem()), c.initial) << c.page;
        // Once round, back to where it started.
        std::vector<std::wstring> visited;
        for (size_t i = 0; i < c.order.size(); ++i) {
            ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_TAB, 0);
            uitest::pump(20);
            visited.push_back(nameOf(window_->focusedItem()));
        }
        std::vector<std::wstring> expected;
        const auto start = std::find(c.order.begin(), c.order.end(), c.initial);
        const size_t first = start == c.order.end() ? 0 : static_cast<size_t>(start - c.order.begin()) + 1;
        for (size_t i = 0; i < c.order.size(); ++i) {
            expected.push_back(c.order[(first + i) % c.order.size()]);
        }
        EXPECT_EQ(visited, expected) << c.page;
    }
}

TEST_F(MainWindowTest, SpaceTogglesACheckBoxAndEnterFollowsTheFocusedLink)
{
    goToChooseDirectory();
    auto &startWhenFinished = elementOn<CheckBox>(2, 0);
    window_->setFocusedItem(&startWhenFinished);
    ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_SPACE, 0);
    // A held key repeats; it acts once.
    ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_SPACE, LPARAM{1} << 30);
    uitest::pump(100);
    EXPECT_FALSE(startWhenFinished.isChecked());
    EXPECT_EQ(uitest::theInstaller().options().startWhenFinished, 0);

    window_->setFocusedItem(&buttonOn(2, app::ids::kBack));
    ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_RETURN, 0);
    EXPECT_TRUE(uitest::pumpUntil([&] { return currentPage() == 1; }));
    EXPECT_EQ(nameOf(window_->focusedItem()), text(app::ids::kExpressInstall)) << "the page's main button again";
}

// WCAG relative luminance of an sRGB colour.
double luminance(COLORREF colour)
{
    const auto channel = [](BYTE value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(GetRValue(colour)) + 0.7152 * channel(GetGValue(colour)) +
           0.0722 * channel(GetBValue(colour));
}

double contrast(COLORREF a, COLORREF b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(MainWindowTest, TheFocusRingShowsOnlyOnceTheKeyboardIsUsedAndStandsOut)
{
    framework::controls::Item *express = window_->focusedItem();
    ASSERT_NE(express, nullptr);
    const float middle = express->y + express->height / 2.0f;
    // The ring covers 1 to 3 DIPs outside the element; 6 DIPs out is what
    // surrounds it.
    const POINT ring = uitest::toPixels(*window_, express->x - 2.0f, middle);
    const POINT around = uitest::toPixels(*window_, express->x - 6.0f, middle);
    auto &renderer = window_->getRenderer();
    const COLORREF before = renderer.pixelAt(ring.x, ring.y);
    uitest::mouseMove(*window_, 10.0f, 200.0f);
    uitest::pump(100);
    EXPECT_FALSE(window_->focusCuesShown());
    EXPECT_EQ(renderer.pixelAt(ring.x, ring.y), before) << "no ring without a key";

    ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_TAB, 0);
    uitest::pump(100);
    EXPECT_TRUE(window_->focusCuesShown());
    EXPECT_EQ(renderer.pixelAt(ring.x, ring.y), before) << "the ring moved on with the focus";
    window_->setFocusedItem(express);
    const COLORREF drawn = renderer.pixelAt(ring.x, ring.y);
    EXPECT_NE(drawn, before);
    EXPECT_GE(contrast(drawn, renderer.pixelAt(around.x, around.y)), 3.0);
    const POINT inside = uitest::toPixels(*window_, express->x - 1.0f, middle);
    EXPECT_NE(renderer.pixelAt(inside.x, inside.y), drawn) << "a gap between ring and element";
}

TEST_F(MainWindowTest, AnInitialPageArgumentOpensThatPage)
{
    window_ = uitest::openMainWindow(3);
    ASSERT_TRUE(window_);
    EXPECT_EQ(currentPage(), 3);
    EXPECT_TRUE(page(3).active);
    window_ = uitest::openMainWindow(42);
    ASSERT_TRUE(window_);
    EXPECT_EQ(currentPage(), 1) << "an unknown page id leaves the start page";
}

TEST_F(MainWindowTest, ExpressInstallContentSitsLowerOnlyWhilePressedAndOverTheButton)
{
    auto &button = elementOn<ExpressInstallButton>(1);
    const float captionY = button.caption().y;
    const float shieldY = button.shield().y;
    const float insideX = button.x + 40.0f;
    const float insideY = button.y + 30.0f;
    const float outsideY = button.y + button.height + 40.0f;

    uitest::mouseMove(*window_, insideX, insideY);
    uitest::mouseDown(*window_, insideX, insideY);
    EXPECT_EQ(button.caption().y, captionY + 2.0f);
    EXPECT_EQ(button.shield().y, shieldY + 2.0f);

    uitest::dragTo(*window_, insideX, outsideY);
    EXPECT_EQ(button.caption().y, captionY) << "dragging off raises the content";

    uitest::dragTo(*window_, insideX, insideY);
    EXPECT_EQ(button.caption().y, captionY + 2.0f) << "dragging back lowers it again";

    uitest::dragTo(*window_, insideX, outsideY);
    uitest::mouseUp(*window_, insideX, outsideY);
    uitest::pump(50);
    EXPECT_EQ(button.caption().y, captionY);
    EXPECT_EQ(currentPage(), 1) << "released off the button: no click";
}

bool g_lateCloseNeeded = false;

VOID CALLBACK closeLateBox(HWND box, UINT, UINT_PTR timer, DWORD) noexcept
{
    ::KillTimer(box, timer);
    g_lateCloseNeeded = true;
    ::PostMessageW(box, WM_CLOSE, 0, 0);
}

class InstallingTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        script_ = std::make_unique<uitest::ScriptedInstall>();
    }

    void startInstall()
    {
        uitest::click(*window_, elementOn<ExpressInstallButton>(1));
        ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 3 && script_->manifestStepEntered(); }));
    }

    const std::wstring &statusText() const { return static_cast<ui::pages::InstallingView &>(page(3)).status().text; }

    std::unique_ptr<uitest::ScriptedInstall> script_;
};

TEST_F(InstallingTest, ExpressInstallShowsTheInstallingPageAndASuccessEndsOnTheFinishPage)
{
    startInstall();
    EXPECT_EQ(statusText(), app::loadString(app::ids::kStatusConnecting));
    script_->release();
    ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 4; }));
    auto &finish = static_cast<ui::pages::FinishView &>(page(4));
    EXPECT_EQ(finish.title().text, app::loadString(app::ids::kSetupFinished));
    EXPECT_EQ(finish.body().text, app::loadString(app::ids::kFinishedText));
    EXPECT_TRUE(uitest::pumpUntil([] { return uitest::theInstaller().options().installSucceeded != 0; }));
    closeAndExpectImmediateEnd();
}

TEST_F(InstallingTest, ClosingDuringTheInstallationAsksAndNoOrClosingTheQuestionKeepsItRunning)
{
    startInstall();
    std::wstring question;
    bool ownerDisabled = false;
    uitest::whenMessageBoxOpens([&](HWND box) {
        question = uitest::messageBoxText(box);
        ownerDisabled = !::IsWindowEnabled(window_->handle());
        uitest::clickBoxButton(box, app::loadString(app::ids::kNo));
    });
    ::PostMessageW(window_->handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return !question.empty() && uitest::openMessageBox() == nullptr; }));
    EXPECT_EQ(question, app::loadString(app::ids::kStopQuestion));
    EXPECT_TRUE(ownerDisabled);
    EXPECT_TRUE(::IsWindowEnabled(window_->handle()));
    EXPECT_EQ(currentPage(), 3);
    EXPECT_EQ(uitest::theInstaller().options().cancelRequested, 0);

    bool asked = false;
    uitest::whenMessageBoxOpens([&](HWND box) {
        asked = true;
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    ::PostMessageW(window_->handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return asked && uitest::openMessageBox() == nullptr; }));
    EXPECT_EQ(currentPage(), 3);
    EXPECT_EQ(uitest::theInstaller().options().cancelRequested, 0);
    EXPECT_EQ(statusText(), app::loadString(app::ids::kStatusConnecting));

    script_->release();
    EXPECT_TRUE(uitest::pumpUntil([&] { return currentPage() == 4; }));
}

TEST_F(InstallingTest, ConfirmingTheStopShowsCancellingAtOnceAndEndsCancelled)
{
    startInstall();
    uitest::whenMessageBoxOpens([&](HWND box) { uitest::clickBoxButton(box, app::loadString(app::ids::kYes)); });
    ::PostMessageW(window_->handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return statusText() == app::loadString(app::ids::kStatusCancelling); }));
    // The worker is still held in its manifest step: the text came first.
    EXPECT_EQ(currentPage(), 3);
    EXPECT_EQ(uitest::theInstaller().options().cancelRequested, 1);

    script_->release();
    ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 4; }));
    auto &finish = static_cast<ui::pages::FinishView &>(page(4));
    EXPECT_EQ(finish.title().text, app::loadString(app::ids::kSetupCancelled));
    EXPECT_EQ(finish.body().text, app::loadString(app::ids::kCancelledText));
}

TEST_F(InstallingTest, TheStopButtonAsksTheSameQuestion)
{
    startInstall();
    std::wstring question;
    uitest::whenMessageBoxOpens([&](HWND box) {
        question = uitest::messageBoxText(box);
        uitest::clickBoxButton(box, app::loadString(app::ids::kYes));
    });
    uitest::click(*window_, buttonOn(3, app::ids::kStop));
    ASSERT_TRUE(uitest::pumpUntil([&] { return statusText() == app::loadString(app::ids::kStatusCancelling); }));
    EXPECT_EQ(question, app::loadString(app::ids::kStopQuestion));
    EXPECT_EQ(uitest::theInstaller().options().cancelRequested, 1);
    script_->release();
    EXPECT_TRUE(uitest::pumpUntil([&] { return currentPage() == 4; }));
}

TEST_F(InstallingTest, EscapeAsksTheStopQuestionAndEscapeInTheQuestionAnswersNo)
{
    startInstall();
    std::wstring question;
    uitest::whenMessageBoxOpens([&](HWND box) {
        question = uitest::messageBoxText(box);
        ::PostMessageW(box, WM_KEYDOWN, VK_ESCAPE, 0);
    });
    ::PostMessageW(window_->handle(), WM_KEYDOWN, VK_ESCAPE, 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return !question.empty() && uitest::openMessageBox() == nullptr; }));
    EXPECT_EQ(question, app::loadString(app::ids::kStopQuestion));
    EXPECT_EQ(uitest::theInstaller().options().cancelRequested, 0);
    EXPECT_EQ(currentPage(), 3);
    script_->release();
    EXPECT_TRUE(uitest::pumpUntil([&] { return currentPage() == 4; }));
}

TEST_F(InstallingTest, AStopQuestionStillOpenWhenTheInstallationEndsClosesByItself)
{
    startInstall();
    bool opened = false;
    HWND owner = nullptr;
    uitest::whenMessageBoxOpens([&](HWND box) {
        opened = true;
        owner = ::GetWindow(box, GW_OWNER);
        // Should the box not close by itself, a late close keeps the test
        // from hanging in the box's loop and the checks below fail.
        ::SetTimer(box, 1, 8000, closeLateBox);
        // The run ends while the user still thinks about the question.
        script_->release();
    });
    uitest::click(*window_, buttonOn(3, app::ids::kStop));
    ASSERT_TRUE(uitest::pumpUntil([&] { return opened && currentPage() == 4; }));
    EXPECT_EQ(owner, window_->handle());
    EXPECT_FALSE(g_lateCloseNeeded) << "the box waited for the user";
    EXPECT_EQ(uitest::openMessageBox(), nullptr);
    EXPECT_TRUE(::IsWindowEnabled(window_->handle()));
    EXPECT_EQ(uitest::theInstaller().options().cancelRequested, 0);
    auto &finish = static_cast<ui::pages::FinishView &>(page(4));
    EXPECT_EQ(finish.title().text, app::loadString(app::ids::kSetupFinished));
}

class FailingInstallTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        script_ = std::make_unique<uitest::ScriptedInstall>(20011, false);
    }

    std::unique_ptr<uitest::ScriptedInstall> script_;
};

TEST_F(FailingInstallTest, StartInstallFromTheChooseDirectoryPageAndRetryFromTheErrorPage)
{
    goToChooseDirectory();
    // START INSTALL stands right of BACK.
    auto buttons = uitest::elementsOf<TextButton>(page(2));
    ASSERT_EQ(buttons.size(), 2u);
    uitest::click(*window_, *buttons[1]);
    ASSERT_TRUE(uitest::pumpUntil([&] { return currentPage() == 5; }));
    EXPECT_FALSE(uitest::findText(page(5), app::loadString(400)) == nullptr) << "title of error 20011";

    EXPECT_EQ(script_->runs(), 1);
    uitest::click(*window_, buttonOn(5, app::ids::kRetry));
    ASSERT_TRUE(uitest::pumpUntil([&] { return script_->runs() == 2 && currentPage() == 5; }));

    uitest::click(*window_, buttonOn(5, app::ids::kExit));
    EXPECT_TRUE(uitest::pumpUntil([&] { return !::IsWindow(window_->handle()); }, 3000));
}

} // namespace

// The engine answers a request to install; the window does what the answer
// asks: close for an elevated copy that took over, tell a user who declined
// elevation that it is needed, and otherwise stay.
TEST(MainWindowBeginInstall, TheWindowFollowsTheEnginesAnswer)
{
    struct Commands final : installer::InstallerCommands {
        installer::InstallOptions choices;
        installer::BeginOutcome answer = installer::BeginOutcome::kStarted;
        RECT askedWith = {};
        installer::InstallOptions &options() noexcept override { return choices; }
        installer::BeginOutcome beginInstall(const RECT &windowRect) override
        {
            askedWith = windowRect;
            return answer;
        }
        void requestStop() noexcept override {}
        void finish() override {}
    };
    struct Case {
        installer::BeginOutcome answer;
        bool closes;
        const wchar_t *notice;
    };
    const std::wstring runAsAdministrator = app::loadString(app::ids::kRunAsAdministrator);
    const Case cases[] = {
        {installer::BeginOutcome::kStarted, false, nullptr},
        {installer::BeginOutcome::kNotStarted, false, nullptr},
        {installer::BeginOutcome::kElevationDeclined, false, runAsAdministrator.c_str()},
        {installer::BeginOutcome::kHandedOver, true, nullptr},
    };
    uitest::prepareApplication();
    for (const Case &c : cases) {
        SCOPED_TRACE(static_cast<int>(c.answer));
        uitest::takeQuit();
        Commands commands;
        commands.answer = c.answer;
        ui::MainWindow window(commands);
        ASSERT_HRESULT_SUCCEEDED(window.initialize(0));
        ::ShowWindow(window.handle(), SW_SHOWNORMAL);
        uitest::pump(50);
        std::wstring notice;
        if (c.notice != nullptr) {
            uitest::whenMessageBoxOpens([&](HWND box) {
                notice = uitest::messageBoxText(box);
                ::PostMessageW(box, WM_CLOSE, 0, 0);
            });
        }
        window.beginInstall();
        RECT rect = {};
        ::GetWindowRect(window.handle(), &rect);
        EXPECT_TRUE(::EqualRect(&commands.askedWith, &rect)) << "the engine was not told where the window stands";
        EXPECT_EQ(notice, c.notice != nullptr ? c.notice : L"");
        EXPECT_EQ(uitest::pumpUntil([&] { return !::IsWindow(window.handle()); }, c.closes ? 3000 : 300), c.closes);
    }
    uitest::pump(50);
    uitest::takeQuit();
}
