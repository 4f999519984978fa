// Pictures of every page and of a message box, saved into the build tree
// (screenshots/<page>-<dpi>.png) to be looked at; the 144 DPI set comes
// from a second run of this program in a display of that DPI.

#include "tests/ui/uiTestSupport.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/windows/messages.h"
#include "tests/support/process.h"
#include "ui/showMessageBox.h"
#include "ui/controls/CheckBox.h"
#include "ui/controls/ChooseFileTextField.h"
#include "framework/base/CoreApplication.h"
#include "framework/base/highContrast.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <iterator>
#include <memory>
#include <optional>

namespace {

// Set in the prefix without Tahoma, whose pictures get their own names.
bool withoutTahoma()
{
    return std::getenv("KESTRUNE_EXPECT_NO_TAHOMA") != nullptr;
}

// Set for the high-contrast pictures: Wine cannot turn high contrast on, so
// the program is told it is on and the system colours are set for real.
bool inHighContrast()
{
    return std::getenv("KESTRUNE_HIGH_CONTRAST") != nullptr;
}

std::wstring dpiSuffix(const framework::windows::Direct2dWindow &window)
{
    return L"-" + std::to_wstring(std::lround(window.getScaleX() * 96.0f)) + (withoutTahoma() ? L"-no-tahoma" : L"") +
           (inHighContrast() ? L"-high-contrast" : L"");
}

// A high-contrast black scheme for the colours the window uses, and the
// previous colours back afterwards (they are the whole session's).
class HighContrastScheme {
public:
    HighContrastScheme()
    {
        for (size_t i = 0; i < std::size(kElements); ++i) {
            previous_[i] = ::GetSysColor(kElements[i]);
        }
        framework::base::setHighContrastForTests(true);
        const COLORREF scheme[] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(26, 235, 255), RGB(0, 0, 0),
                                   RGB(255, 255, 0), RGB(63, 242, 63),   RGB(0, 0, 0),      RGB(255, 255, 255)};
        ::SetSysColors(static_cast<int>(std::size(kElements)), kElements, scheme);
    }
    ~HighContrastScheme()
    {
        framework::base::setHighContrastForTests(std::nullopt);
        ::SetSysColors(static_cast<int>(std::size(kElements)), kElements, previous_);
    }
    HighContrastScheme(const HighContrastScheme &) = delete;
    HighContrastScheme &operator=(const HighContrastScheme &) = delete;

private:
    static constexpr INT kElements[] = {COLOR_WINDOW,   COLOR_WINDOWTEXT, COLOR_HIGHLIGHT, COLOR_HIGHLIGHTTEXT,
                                        COLOR_HOTLIGHT, COLOR_GRAYTEXT,   COLOR_BTNFACE,   COLOR_BTNTEXT};
    COLORREF previous_[std::size(kElements)] = {};
};

void send(const ui::MainWindow &window, int page, int64_t kind, int64_t value)
{
    auto data = std::make_unique<framework::windows::PageData>(framework::windows::PageData{kind, value});
    ::SendMessageW(window.handle(), framework::windows::kMsgViewData, static_cast<WPARAM>(page),
                   reinterpret_cast<LPARAM>(data.release()));
}

void showPage(const ui::MainWindow &window, int page)
{
    ::PostMessageW(window.handle(), framework::windows::kMsgShowView, static_cast<WPARAM>(page), 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return window.getCurrentView()->id == page; }));
}

TEST(Screenshots, EveryPageAndTheStopQuestion)
{
    uitest::prepareApplication();
    if (const char *expected = std::getenv("KESTRUNE_EXPECT_DPI")) {
        auto probe = uitest::openMainWindow();
        ASSERT_TRUE(probe);
        ASSERT_EQ(std::lround(probe->getScaleX() * 96.0f), std::atol(expected)) << "the display's DPI";
        EXPECT_EQ(probe->getPixelWidth(), static_cast<UINT>(std::ceil(767.0f * probe->getScaleX())));
    }
    auto &options = uitest::theInstaller().options();
    options.destination = L"C:\\Program Files\\Kestrune Software";
    options.startWhenFinished = 1;
    options.createDesktopShortcut = 0;
    auto window = uitest::openMainWindow();
    ASSERT_TRUE(window);
    std::optional<HighContrastScheme> scheme;
    if (inHighContrast()) {
        // Switched on while the window is open: it follows at once.
        ASSERT_FALSE(window->drawsHighContrast());
        scheme.emplace();
        ASSERT_TRUE(uitest::pumpUntil([&] { return window->drawsHighContrast(); }, 5000));
        uitest::pump(200);
        const POINT plain = uitest::toPixels(*window, 100.0f, 300.0f);
        EXPECT_EQ(window->getRenderer().pixelAt(plain.x, plain.y), RGB(0, 0, 0)) << "the window colour";
    }
    const std::wstring suffix = dpiSuffix(*window);

    uitest::saveScreenshot(*window, L"1-start" + suffix);

    showPage(*window, 2);
    uitest::saveScreenshot(*window, L"2-choose-directory" + suffix);
    if (withoutTahoma()) {
        // The fallback is a text face, and the check boxes stay where a
        // user who knows the page (and the end-to-end scenarios) click them:
        // (96, 219) and (96, 238) with Tahoma.
        const framework::text::FontDescription font = framework::base::uiFont();
        EXPECT_STRNE(font.family, L"Tahoma");
        const auto boxes = uitest::elementsOf<ui::controls::CheckBox>(*window->page(2));
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_TRUE(boxes[0]->contains(96.0f, 219.0f)) << font.family << " " << boxes[0]->y;
        EXPECT_TRUE(boxes[1]->contains(96.0f, 238.0f)) << font.family << " " << boxes[1]->y;
    }
    auto &field = *uitest::elementsOf<ui::controls::ChooseFileTextField>(*window->page(2)).at(0);
    field.folderPicker = [](HWND) -> std::optional<std::wstring> {
        return L"D:\\Users\\Somebody\\Documents\\Music collections of the whole family\\Players and tools";
    };
    field.browse();
    uitest::saveScreenshot(*window, L"2-choose-directory-long-path" + suffix);

    showPage(*window, 3);
    send(*window, 3, 1, 2);
    send(*window, 3, 2, 3700);
    uitest::saveScreenshot(*window, L"3-installing" + suffix);

    bool boxSaved = false;
    uitest::whenMessageBoxOpens([&](HWND box) {
        uitest::saveScreenshot(uitest::messageBoxOf(box), L"6-stop-question" + suffix);
        boxSaved = true;
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    ::PostMessageW(window->handle(), WM_CLOSE, 0, 0);
    ASSERT_TRUE(uitest::pumpUntil([&] { return boxSaved && uitest::openMessageBox() == nullptr; }));

    send(*window, 4, 1, 0);
    showPage(*window, 4);
    uitest::saveScreenshot(*window, L"4-finish" + suffix);
    send(*window, 4, 1, 2);
    uitest::saveScreenshot(*window, L"4-finish-cancelled" + suffix);

    options.destination = L"C:\\Program Files\\Kestrune Software";
    send(*window, 5, 20001, 5);
    showPage(*window, 5);
    uitest::saveScreenshot(*window, L"5-error" + suffix);
    send(*window, 5, 20023, 465);
    uitest::saveScreenshot(*window, L"5-error-outdated" + suffix);

    bool noticeSaved = false;
    uitest::whenMessageBoxOpens([&](HWND box) {
        uitest::saveScreenshot(uitest::messageBoxOf(box), L"6-already-installed" + suffix);
        noticeSaved = true;
        ::PostMessageW(box, WM_CLOSE, 0, 0);
    });
    ui::showMessageBox(nullptr, app::loadString(app::ids::kAlreadyInstalled).c_str(),
                       app::loadString(app::ids::kInformation).c_str(), MB_OK);
    EXPECT_TRUE(noticeSaved);
}

// The display DPI is read when a process starts: a copy of this program
// runs the screenshots with the desktop set to 144 DPI, then the setting
// goes back.
TEST(ScreenshotsAt144Dpi, EveryPageAgainAtOneAndAHalfTimesTheSize)
{
    HKEY desktop = nullptr;
    ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, L"Control Panel\\Desktop", 0, nullptr, 0, KEY_READ | KEY_WRITE,
                                nullptr, &desktop, nullptr),
              ERROR_SUCCESS);
    DWORD previous = 0;
    DWORD size = sizeof(previous);
    const bool hadValue = ::RegQueryValueExW(desktop, L"LogPixels", nullptr, nullptr,
                                             reinterpret_cast<BYTE *>(&previous), &size) == ERROR_SUCCESS;
    const DWORD highDpi = 144;
    ASSERT_EQ(::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&highDpi),
                               sizeof(highDpi)),
              ERROR_SUCCESS);

    wchar_t self[MAX_PATH] = {};
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto child = testsupport::ChildProcess::start(L"\"" + std::wstring(self) +
                                                      L"\" --gtest_filter=Screenshots.EveryPageAndTheStopQuestion",
                                                  {}, {L"KESTRUNE_EXPECT_DPI=144"});
    std::optional<DWORD> code;
    if (child) {
        code = child->wait(180000);
    }

    if (hadValue) {
        ::RegSetValueExW(desktop, L"LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&previous),
                         sizeof(previous));
    } else {
        ::RegDeleteValueW(desktop, L"LogPixels");
    }
    ::RegCloseKey(desktop);
    ASSERT_TRUE(child);
    ASSERT_TRUE(code);
    EXPECT_EQ(*code, 0u) << "the 144 DPI run failed";
}

} // namespace
