// The application's message box: size from the measured text, buttons by
// flags, results, the modal loop and the owner.

#include "tests/ui/uiTestSupport.h"

#include "app/Application.h"
#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/text/measureText.h"
#include "ui/MessageBoxWindow.h"
#include "ui/showMessageBox.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        uitest::prepareApplication();
        uitest::takeQuit();
    }

    // Shows a box; `whileOpen` runs inside its modal loop.
    int show(HWND owner, const wchar_t *text, unsigned flags, std::function<void(HWND)> whileOpen)
    {
        uitest::whenMessageBoxOpens(std::move(whileOpen));
        return ui::showMessageBox(owner, text, app::loadString(app::ids::kInformation).c_str(), flags);
    }

    static std::vector<ui::MessageBoxButton *> buttons(HWND box)
    {
        return uitest::elementsOf<ui::MessageBoxButton>(*uitest::messageBoxOf(box).getCurrentView());
    }

    static std::wstring caption(const ui::MessageBoxButton *button) { return button->captionLabel().text; }
};

struct BoxSize {
    LONG width = 0;
    LONG height = 0;
};

BoxSize sizeOf(HWND box)
{
    RECT rect{};
    ::GetWindowRect(box, &rect);
    return {rect.right - rect.left, rect.bottom - rect.top};
}

LONG pixels(float dips, float scale)
{
    return static_cast<LONG>(std::ceil(dips * scale));
}

TEST_F(MessageBoxTest, ShortTextsStill250WideAndEmptyText450By155)
{
    BoxSize shortBox;
    float scale = 1.0f;
    float textHeight = 0;
    EXPECT_EQ(show(nullptr, L"Hi", MB_OK,
                   [&](HWND box) {
                       shortBox = sizeOf(box);
                       scale = uitest::messageBoxOf(box).getScaleX();
                       textHeight = uitest::messageBoxOf(box).getHeight();
                       ::PostMessageW(box, WM_CLOSE, 0, 0);
                   }),
              0);
    framework::text::TextMetrics measured{};
    ASSERT_TRUE(framework::text::measureText(L"Hi", app::Application::instance().font(), 28.0f, measured));
    EXPECT_EQ(shortBox.width, pixels(250.0f, scale));
    EXPECT_EQ(shortBox.height, pixels(std::round(measured.height) + 140.0f, scale));
    EXPECT_FLOAT_EQ(textHeight, std::round(measured.height) + 140.0f);

    BoxSize emptyBox;
    show(nullptr, L"", MB_OK, [&](HWND box) {
        emptyBox = sizeOf(box);
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(emptyBox.width, pixels(450.0f, scale));
    EXPECT_EQ(emptyBox.height, pixels(155.0f, scale));
}

TEST_F(MessageBoxTest, LongTextsGrowTheBoxByTheirMeasuredSize)
{
    const std::wstring text = app::loadString(app::ids::kAlreadyInstalled);
    framework::text::TextMetrics measured{};
    ASSERT_TRUE(framework::text::measureText(text.c_str(), app::Application::instance().font(), 28.0f, measured));
    ASSERT_GT(measured.width, 100.0f);
    float width = 0;
    float height = 0;
    std::wstring shown;
    show(nullptr, text.c_str(), MB_OK, [&](HWND box) {
        width = uitest::messageBoxOf(box).getWidth();
        height = uitest::messageBoxOf(box).getHeight();
        shown = uitest::messageBoxText(box);
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EXPECT_FLOAT_EQ(width, std::round(measured.width) + 150.0f);
    EXPECT_FLOAT_EQ(height, std::round(measured.height) + 140.0f);
    EXPECT_EQ(shown, text);
}

TEST_F(MessageBoxTest, ButtonsFollowTheFlagsAndSitInTheBottomRightCorner)
{
    struct Case {
        unsigned flags;
        std::vector<unsigned> captions;
    };
    for (const Case &c : {Case{MB_OK, {app::ids::kOk}}, Case{MB_YESNO, {app::ids::kYes, app::ids::kNo}},
                          Case{MB_OKCANCEL, {app::ids::kOk, app::ids::kCancel}}, Case{MB_ICONHAND, {}}}) {
        std::vector<std::wstring> captions;
        std::vector<ui::MessageBoxButton *> found;
        float width = 0;
        float height = 0;
        show(nullptr, L"Question", c.flags, [&](HWND box) {
            found = buttons(box);
            for (auto *button : found) {
                captions.push_back(caption(button));
            }
            width = uitest::messageBoxOf(box).getWidth();
            height = uitest::messageBoxOf(box).getHeight();
            // Geometry while the box still exists.
            if (!found.empty()) {
                const auto *right = found.front();
                EXPECT_FLOAT_EQ(right->x + right->width, width - 32.0f) << c.flags;
                EXPECT_FLOAT_EQ(right->y + right->height, height - 23.0f) << c.flags;
                for (auto *button : found) {
                    const float margin = button->captionLabel().x - button->x;
                    EXPECT_FLOAT_EQ(margin, caption(button).size() < 4 ? 30.0f : 22.0f) << c.flags;
                    EXPECT_GE(button->height, 30.0f);
                }
            }
            if (found.size() == 2) {
                EXPECT_FLOAT_EQ(found[1]->x + found[1]->width, found[0]->x - 30.0f);
                EXPECT_FLOAT_EQ(found[1]->y, found[0]->y);
            }
            ::PostMessageW(box, WM_CLOSE, 0, 0);
        });
        // Built from the right: the first element is the rightmost button.
        std::vector<std::wstring> expected;
        for (auto id = c.captions.rbegin(); id != c.captions.rend(); ++id) {
            expected.push_back(app::loadString(*id));
        }
        EXPECT_EQ(captions, expected) << c.flags;
    }
}

TEST_F(MessageBoxTest, OkAndNoGetThirtyPixelMargins)
{
    show(nullptr, L"Question", MB_YESNO, [&](HWND box) {
        for (auto *button : buttons(box)) {
            EXPECT_FLOAT_EQ(button->captionLabel().x - button->x, 30.0f) << "YES and NO";
        }
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    show(nullptr, L"Question", MB_OK, [&](HWND box) {
        EXPECT_FLOAT_EQ(buttons(box).at(0)->captionLabel().x - buttons(box).at(0)->x, 30.0f) << "OK";
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
}

TEST_F(MessageBoxTest, EachButtonReturnsItsResult)
{
    struct Case {
        unsigned flags;
        unsigned caption;
        int result;
    };
    for (const Case &c :
         {Case{MB_OK, app::ids::kOk, IDOK}, Case{MB_YESNO, app::ids::kYes, IDYES}, Case{MB_YESNO, app::ids::kNo, IDNO},
          Case{MB_OKCANCEL, app::ids::kOk, IDOK}, Case{MB_OKCANCEL, app::ids::kCancel, IDCANCEL}}) {
        EXPECT_EQ(show(nullptr, L"Question", c.flags,
                       [&](HWND box) { uitest::clickBoxButton(box, app::loadString(c.caption)); }),
                  c.result)
            << c.caption;
    }
}

TEST_F(MessageBoxTest, EnterTakesTheFocusedButtonStartingAtTheDefaultAndEscapeTheCancellingOne)
{
    const auto keys = [](std::vector<WPARAM> pressed) {
        return [pressed](HWND box) {
            for (const WPARAM key : pressed) {
                ::PostMessageW(box, WM_KEYDOWN, key, 0);
            }
        };
    };
    struct Case {
        unsigned flags;
        std::vector<WPARAM> keys;
        int result;
    };
    // Tab goes from the default button to the next in reading order (the
    // close button sits above them, so Tab reaches it last).
    for (const Case &c : {
             Case{MB_YESNO, {VK_RETURN}, IDYES},
             Case{MB_YESNO, {VK_SPACE}, IDYES},
             Case{MB_YESNO, {VK_TAB, VK_RETURN}, IDNO},
             Case{MB_YESNO | MB_DEFBUTTON2, {VK_RETURN}, IDNO},
             Case{MB_YESNO, {VK_ESCAPE}, IDNO},
             Case{MB_OKCANCEL, {VK_ESCAPE}, IDCANCEL},
             Case{MB_OKCANCEL, {VK_RETURN}, IDOK},
             Case{MB_OK, {VK_ESCAPE}, IDOK},
         }) {
        EXPECT_EQ(show(nullptr, L"Question", c.flags, keys(c.keys)), c.result) << c.flags << " " << c.keys.size();
    }
}

TEST_F(MessageBoxTest, ClosingOtherwiseReturnsZero)
{
    // The close button of the overlay: 27 x 20 at (width - 39, 7).
    EXPECT_EQ(show(nullptr, L"Question", MB_YESNO,
                   [&](HWND box) {
                       auto &window = uitest::messageBoxOf(box);
                       const POINT point = uitest::toPixels(window, window.getWidth() - 39.0f + 13.0f, 17.0f);
                       POINT screen = point;
                       ::ClientToScreen(box, &screen);
                       ::SetCursorPos(screen.x, screen.y);
                       ::PostMessageW(box, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
                       ::PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
                       ::PostMessageW(box, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
                   }),
              0);
    EXPECT_EQ(show(nullptr, L"Question", MB_YESNO, [&](HWND box) { ::PostMessageW(box, WM_SYSCOMMAND, SC_CLOSE, 0); }),
              0);
    // A close sent rather than posted (as Alt+F4 does) must end the box too.
    EXPECT_EQ(show(nullptr, L"Question", MB_YESNO, [&](HWND box) { ::SendMessageW(box, WM_CLOSE, 0, 0); }), 0);
    EXPECT_EQ(uitest::openMessageBox(), nullptr);
}

TEST_F(MessageBoxTest, TheOwnerIsDisabledWhileTheBoxIsOpenAndEnabledAfterwards)
{
    auto window = uitest::openMainWindow();
    ASSERT_TRUE(window);
    bool disabledWhileOpen = false;
    HWND boxOwner = nullptr;
    int x = 0;
    show(window->handle(), L"Question", MB_YESNO, [&](HWND box) {
        disabledWhileOpen = !::IsWindowEnabled(window->handle());
        boxOwner = ::GetWindow(box, GW_OWNER);
        RECT boxRect{};
        ::GetWindowRect(box, &boxRect);
        x = boxRect.left;
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(disabledWhileOpen);
    EXPECT_EQ(boxOwner, window->handle());
    EXPECT_TRUE(::IsWindowEnabled(window->handle()));

    bool enabledWithoutOwner = false;
    show(nullptr, L"Question", MB_YESNO, [&](HWND box) {
        enabledWithoutOwner = ::IsWindowEnabled(window->handle()) != FALSE;
        EXPECT_EQ(::GetWindow(box, GW_OWNER), nullptr);
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(enabledWithoutOwner);
}

TEST_F(MessageBoxTest, AQuitArrivingWhileOpenEndsTheBoxAndStillEndsTheApplicationLoop)
{
    bool opened = false;
    const int result = show(nullptr, L"Question", MB_YESNO, [&](HWND) {
        opened = true;
        ::PostQuitMessage(7);
    });
    EXPECT_TRUE(opened);
    EXPECT_EQ(result, 0);
    MSG quit{};
    ASSERT_TRUE(::PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the quit was posted again";
    EXPECT_EQ(quit.wParam, 7u);
    uitest::pump(100);
    EXPECT_EQ(uitest::openMessageBox(), nullptr);
}

} // namespace
