// The real installer used without the mouse: as a screen reader sees and
// drives it, through its MSAA objects from another process, and with the
// keyboard alone.
#include "tests/e2e/accessibleClient.h"
#include "tests/e2e/harness.h"
#include "tests/support/paths.h"

#include "app/resourceIds.h"
#include "win32lib/UniqueResource.h"

#include <string>
#include <vector>

namespace {

using Microsoft::WRL::ComPtr;
using namespace e2e;

// The states the tables compare; focus is checked on its own, since it
// follows the X server's keyboard focus.
constexpr LONG kComparedStates = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_CHECKED | STATE_SYSTEM_UNAVAILABLE |
                                 STATE_SYSTEM_LINKED | STATE_SYSTEM_READONLY;
constexpr LONG kButton = ROLE_SYSTEM_PUSHBUTTON;
constexpr LONG kFocusable = STATE_SYSTEM_FOCUSABLE;
constexpr LONG kLink = STATE_SYSTEM_FOCUSABLE | STATE_SYSTEM_LINKED;
constexpr LONG kReadOnly = STATE_SYSTEM_READONLY;
// A name the table does not fix (the status line changes as the run goes).
constexpr wchar_t kAnyName[] = L"*";

std::wstring text(unsigned id)
{
    wchar_t buffer[256] = {};
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, 256);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

struct Row {
    LONG role;
    std::wstring name;
    LONG state;

    bool operator==(const Row &other) const
    {
        return role == other.role && state == other.state &&
               (name == other.name || name == kAnyName || other.name == kAnyName);
    }
};

void PrintTo(const Row &row, std::ostream *out)
{
    std::string name;
    for (const wchar_t c : row.name) {
        name.push_back(c < 128 ? static_cast<char>(c) : '?');
    }
    *out << "{role " << row.role << ", \"" << name << "\", state 0x" << std::hex << row.state << std::dec << "}";
}

Row rowOf(IAccessible *object, LONG id)
{
    Row row{0, {}, 0};
    VARIANT role;
    VARIANT state;
    ::VariantInit(&role);
    ::VariantInit(&state);
    win32lib::UniqueBstr name;
    if (SUCCEEDED(object->get_accRole(child(id), &role)) && role.vt == VT_I4) {
        row.role = role.lVal;
    }
    if (SUCCEEDED(object->get_accName(child(id), name.put())) && name) {
        row.name = name.get();
    }
    if (SUCCEEDED(object->get_accState(child(id), &state)) && state.vt == VT_I4) {
        row.state = state.lVal & kComparedStates;
    }
    return row;
}

// The window's own row, then one per child.
std::vector<Row> tree(HWND window)
{
    const ComPtr<IAccessible> object = clientObject(window);
    if (!object) {
        return {};
    }
    std::vector<Row> rows{rowOf(object.Get(), CHILDID_SELF)};
    for (const LONG id : childIds(object.Get())) {
        rows.push_back(rowOf(object.Get(), id));
    }
    return rows;
}

// The child id of the first child with that name, or 0.
LONG childNamed(HWND window, const std::wstring &name)
{
    const ComPtr<IAccessible> object = clientObject(window);
    if (!object) {
        return 0;
    }
    for (const LONG id : childIds(object.Get())) {
        if (rowOf(object.Get(), id).name == name) {
            return id;
        }
    }
    return 0;
}

bool hasChildNamed(HWND window, const std::wstring &name)
{
    return childNamed(window, name) != 0;
}

template <typename Condition> bool waitUntil(Condition condition, DWORD timeoutMs)
{
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    while (!condition()) {
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(50);
    }
    return true;
}

// The default action of the child with that name: what a screen reader's
// "press" does.
bool press(HWND window, const std::wstring &name)
{
    const ComPtr<IAccessible> object = clientObject(window);
    const LONG id = childNamed(window, name);
    return object && id != 0 && SUCCEEDED(object->accDoDefaultAction(child(id)));
}

class ScreenReader : public Installation {
protected:
    void SetUp() override
    {
        Installation::SetUp();
        ASSERT_HRESULT_SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    }

    void TearDown() override
    {
        Installation::TearDown();
        ::CoUninitialize();
    }

    std::vector<Row> startPage() const
    {
        return {{ROLE_SYSTEM_CLIENT, text(app::ids::kCaption), kFocusable},
                {kButton, L"Minimize", kFocusable},
                {kButton, L"Close", kFocusable},
                {ROLE_SYSTEM_STATICTEXT, text(app::ids::kWelcome), kReadOnly},
                {ROLE_SYSTEM_STATICTEXT, text(app::ids::kThankYou), kReadOnly},
                {ROLE_SYSTEM_STATICTEXT, text(app::ids::kLicenceLine), kReadOnly},
                {ROLE_SYSTEM_LINK, text(app::ids::kLicenceAgreement), kLink},
                {kButton, text(app::ids::kExpressInstall), kFocusable},
                {ROLE_SYSTEM_LINK, text(app::ids::kManualInstall), kLink}};
    }

    // FINISH once the finish page is there; then the program ends.
    void finishAndWait(HWND window)
    {
        ASSERT_TRUE(waitUntil([&] { return hasChildNamed(window, text(app::ids::kFinish)); }, kTimeoutMs))
            << "no finish page";
        EXPECT_EQ(tree(window), (std::vector<Row>{{ROLE_SYSTEM_CLIENT, text(app::ids::kCaption), kFocusable},
                                                  {kButton, L"Minimize", kFocusable},
                                                  {kButton, L"Close", kFocusable},
                                                  {ROLE_SYSTEM_STATICTEXT, text(app::ids::kSetupFinished), kReadOnly},
                                                  {ROLE_SYSTEM_STATICTEXT, text(app::ids::kFinishedText), kReadOnly},
                                                  {kButton, text(app::ids::kFinish), kFocusable}}));
        ASSERT_TRUE(press(window, text(app::ids::kFinish)));
        const auto code = installer_->wait(kTimeoutMs);
        ASSERT_TRUE(code) << "the program did not end";
        EXPECT_EQ(*code, 0u);
    }
};

TEST_F(ScreenReader, ExpressInstallThroughTheAccessibleObjectsAlone)
{
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(tree(window), startPage());
    ASSERT_TRUE(press(window, text(app::ids::kExpressInstall)));
    finishAndWait(window);
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_TRUE(testsupport::fileExists(desktopShortcut()));
    EXPECT_TRUE(waitUntil([] { return processRunning(L"KestruneLauncher.exe"); }, 30000)) << "the player did not start";
    killProcesses(L"KestruneLauncher.exe");
}

TEST_F(ScreenReader, ManualInstallWithBothOptionsClearedThroughTheAccessibleObjectsAlone)
{
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(press(window, text(app::ids::kManualInstall)));
    const std::wstring startWhenFinished = text(app::ids::kStartWhenFinished);
    const std::wstring desktopShortcutOption = text(app::ids::kCreateDesktopShortcut);
    ASSERT_TRUE(waitUntil([&] { return hasChildNamed(window, startWhenFinished); }, 10000)) << "no folder page";
    const LONG checked = kFocusable | STATE_SYSTEM_CHECKED;
    std::vector<Row> choosePage = {{ROLE_SYSTEM_CLIENT, text(app::ids::kCaption), kFocusable},
                                   {kButton, L"Minimize", kFocusable},
                                   {kButton, L"Close", kFocusable},
                                   {ROLE_SYSTEM_STATICTEXT, text(app::ids::kChooseDirectory), kReadOnly},
                                   {ROLE_SYSTEM_TEXT, L"", kReadOnly},
                                   {ROLE_SYSTEM_LINK, text(app::ids::kBrowse), kLink},
                                   {ROLE_SYSTEM_CHECKBUTTON, startWhenFinished, checked},
                                   {ROLE_SYSTEM_CHECKBUTTON, desktopShortcutOption, checked},
                                   {kButton, text(app::ids::kBack), kFocusable},
                                   {kButton, text(app::ids::kStartInstall), kFocusable}};
    EXPECT_EQ(tree(window), choosePage);
    // The folder field's value is the destination.
    const ComPtr<IAccessible> object = clientObject(window);
    ASSERT_TRUE(object);
    win32lib::UniqueBstr value;
    EXPECT_HRESULT_SUCCEEDED(object->get_accValue(child(4), value.put()));
    EXPECT_EQ(std::wstring(value ? value.get() : L""), destination_);

    ASSERT_TRUE(press(window, startWhenFinished));
    ASSERT_TRUE(press(window, desktopShortcutOption));
    choosePage[6].state = kFocusable;
    choosePage[7].state = kFocusable;
    EXPECT_TRUE(waitUntil([&] { return tree(window) == choosePage; }, 5000)) << "the options were not cleared";
    ASSERT_TRUE(press(window, text(app::ids::kStartInstall)));
    finishAndWait(window);
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_FALSE(testsupport::fileExists(desktopShortcut()));
    ::Sleep(2000);
    EXPECT_FALSE(processRunning(L"KestruneLauncher.exe")) << "the player started though it was not asked to";
}

TEST_F(ScreenReader, AStopQuestionAnsweredNoThroughTheAccessibleObjectsKeepsInstalling)
{
    // Slow enough to find the installing page and answer the question.
    control(L"package_rate=200000");
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(press(window, text(app::ids::kExpressInstall)));
    ASSERT_TRUE(waitUntil([&] { return hasChildNamed(window, text(app::ids::kStop)); }, 20000)) << "no installing page";
    EXPECT_EQ(tree(window), (std::vector<Row>{{ROLE_SYSTEM_CLIENT, text(app::ids::kCaption), kFocusable},
                                              {kButton, L"Minimize", kFocusable},
                                              {kButton, L"Close", kFocusable},
                                              {ROLE_SYSTEM_STATICTEXT, kAnyName, kReadOnly},
                                              {ROLE_SYSTEM_PROGRESSBAR, L"", kReadOnly},
                                              {kButton, text(app::ids::kStop), kFocusable}}));
    ASSERT_TRUE(press(window, text(app::ids::kStop)));
    const HWND box = installer_->waitForWindow(
        [](HWND candidate) {
            return ::IsWindowVisible(candidate) && testsupport::windowClass(candidate) == L"MessageBox";
        },
        10000);
    ASSERT_NE(box, nullptr) << "no stop question";
    EXPECT_EQ(tree(box), (std::vector<Row>{{ROLE_SYSTEM_DIALOG, text(app::ids::kInformation), kFocusable},
                                           {kButton, L"Close", kFocusable},
                                           {ROLE_SYSTEM_STATICTEXT, text(app::ids::kStopQuestion), kReadOnly},
                                           {kButton, text(app::ids::kYes), kFocusable},
                                           {kButton, text(app::ids::kNo), kFocusable}}));
    ASSERT_TRUE(press(box, text(app::ids::kNo)));
    EXPECT_TRUE(waitUntil([&] { return !::IsWindow(box); }, 10000)) << "the question stayed";
    control(L"package_rate=0");
    finishAndWait(window);
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_TRUE(waitUntil([] { return processRunning(L"KestruneLauncher.exe"); }, 30000));
    killProcesses(L"KestruneLauncher.exe");
}

TEST_F(ScreenReader, TheErrorPageReadsAsTitleExplanationAndItsTwoButtons)
{
    control(L"package_status=404");
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(press(window, text(app::ids::kExpressInstall)));
    ASSERT_TRUE(waitUntil([&] { return hasChildNamed(window, text(app::ids::kRetry)); }, kTimeoutMs))
        << "no error page";
    // The title and the explanation depend on the error; their roles do not.
    const std::vector<Row> errorPage = {{ROLE_SYSTEM_CLIENT, text(app::ids::kCaption), kFocusable},
                                        {kButton, L"Minimize", kFocusable},
                                        {kButton, L"Close", kFocusable},
                                        {ROLE_SYSTEM_STATICTEXT, kAnyName, kReadOnly},
                                        {ROLE_SYSTEM_STATICTEXT, kAnyName, kReadOnly},
                                        {kButton, text(app::ids::kRetry), kFocusable},
                                        {kButton, text(app::ids::kExit), kFocusable}};
    EXPECT_EQ(tree(window), errorPage);
    ASSERT_TRUE(press(window, text(app::ids::kExit)));
    const auto code = installer_->wait(kTimeoutMs);
    ASSERT_TRUE(code) << "the program did not end";
}

// Key presses as the keyboard makes them, into the window in front.
void pressKeys(HWND window, const std::vector<std::pair<WORD, bool>> &keys)
{
    const ULONGLONG deadline = ::GetTickCount64() + 5000;
    while (::SetForegroundWindow(window), ::GetForegroundWindow() != window && ::GetTickCount64() < deadline) {
        ::Sleep(50);
    }
    for (const auto &[key, shifted] : keys) {
        std::vector<INPUT> inputs;
        const auto add = [&](WORD virtualKey, bool up) {
            INPUT input = {};
            input.type = INPUT_KEYBOARD;
            input.ki.wVk = virtualKey;
            input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
            inputs.push_back(input);
        };
        if (shifted) {
            add(VK_SHIFT, false);
        }
        add(key, false);
        add(key, true);
        if (shifted) {
            add(VK_SHIFT, true);
        }
        ::SendInput(static_cast<UINT>(inputs.size()), inputs.data(), sizeof(INPUT));
        ::Sleep(150);
    }
}

TEST_F(ScreenReader, AKeyboardOnlyInstallWithTabShiftTabSpaceAndEnter)
{
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    // Express Install starts focused: Tab reaches Manual install.
    pressKeys(window, {{VK_TAB, false}, {VK_RETURN, false}});
    ASSERT_TRUE(waitUntil([&] { return hasChildNamed(window, text(app::ids::kStartInstall)); }, 10000))
        << "no folder page";
    // From START INSTALL back over BACK to the desktop shortcut, cleared
    // with Space, then forward again and Enter.
    pressKeys(
        window,
        {{VK_TAB, true}, {VK_TAB, true}, {VK_SPACE, false}, {VK_TAB, false}, {VK_TAB, false}, {VK_RETURN, false}});
    ASSERT_TRUE(waitUntil([&] { return hasChildNamed(window, text(app::ids::kFinish)); }, kTimeoutMs))
        << "no finish page";
    saveScreenshot(window, "keyboard-finish");
    pressKeys(window, {{VK_RETURN, false}});
    const auto code = installer_->wait(kTimeoutMs);
    ASSERT_TRUE(code) << "the program did not end";
    EXPECT_TRUE(testsupport::fileExists(destination_ + L"\\Kestrune\\KestruneLauncher.exe"));
    EXPECT_FALSE(testsupport::fileExists(desktopShortcut())) << "Space did not clear the option";
    EXPECT_TRUE(waitUntil([] { return processRunning(L"KestruneLauncher.exe"); }, 30000)) << "the player did not start";
    killProcesses(L"KestruneLauncher.exe");
}

} // namespace
