#pragma once

#include "framework/controls/Item.h"
#include "framework/windows/Direct2dWindow.h"
#include "installer/Installer.h"
#include "ui/MainWindow.h"
#include "ui/MessageBoxWindow.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace uitest {

// Factories, UI font and the privileges of an elevated process, as the
// program has them when its window opens. The installer's steps are
// replaced by ones that never reach the network.
void prepareApplication();
installer::Installer &theInstaller();

// Dispatches the thread's messages for a while, or until `done` holds.
void pump(DWORD milliseconds);
bool pumpUntil(const std::function<bool()> &done, DWORD timeoutMs = 10000);
// True once if a WM_QUIT passed through pump() since the last call.
bool takeQuit();

// The label-like element (label, link, caption) showing exactly `text`,
// also inside nested layouts.
framework::text::Text *findText(const framework::layouts::Layout &layout, const std::wstring &text);

// Real mouse messages in client pixels, as the system posts them.
POINT toPixels(const framework::windows::Direct2dWindow &window, float x, float y);
void mouseMove(const framework::windows::Direct2dWindow &window, float x, float y);
void mouseDown(const framework::windows::Direct2dWindow &window, float x, float y);
void mouseUp(const framework::windows::Direct2dWindow &window, float x, float y);
// A move with the left button held.
void dragTo(const framework::windows::Direct2dWindow &window, float x, float y);
// Move onto the element's centre, press and release there.
void click(const framework::windows::Direct2dWindow &window, const framework::controls::Item &item);
void clickAt(const framework::windows::Direct2dWindow &window, float x, float y);

// The visible window of that class on this thread, if any.
HWND openWindowOfClass(const std::wstring &className);
HWND openMessageBox();
// Runs `action` on this thread once a window of that class is open (from
// inside its modal loop, for boxes and dialogs), then stops watching.
void whenWindowOpens(const std::wstring &className, std::function<void(HWND window)> action);
void whenMessageBoxOpens(std::function<void(HWND box)> action);
// The MessageBoxWindow behind a box window.
ui::MessageBoxWindow &messageBoxOf(HWND box);
// The text the box shows.
std::wstring messageBoxText(HWND box);
// Clicks the box's button with that caption.
void clickBoxButton(HWND box, const std::wstring &caption);

// An installation whose steps never leave the machine: the manifest step
// waits for `gate` (when given) and returns `manifestResult`; the later steps
// succeed at once. The destination is a fresh folder under %TEMP%.
class ScriptedInstall {
public:
    explicit ScriptedInstall(uint16_t manifestResult = 0, bool gated = true);
    ~ScriptedInstall();
    ScriptedInstall(const ScriptedInstall &) = delete;
    ScriptedInstall &operator=(const ScriptedInstall &) = delete;

    // Lets the manifest step return.
    void release();
    [[nodiscard]] bool manifestStepEntered() const;
    [[nodiscard]] int runs() const;

    struct Events;

private:
    // Shared with the steps, which the worker may still run.
    std::shared_ptr<Events> events_;
};

// The main window of these tests, on the given page.
std::unique_ptr<ui::MainWindow> openMainWindow(int initialPage = 0);

// A page's elements of one type, in creation order.
template <typename T> std::vector<T *> elementsOf(const framework::layouts::Layout &layout)
{
    std::vector<T *> found;
    for (const auto &child : layout.children) {
        if (auto *element = dynamic_cast<T *>(child.get())) {
            found.push_back(element);
        }
    }
    return found;
}

// Saves what the window shows now into the build tree's screenshot folder.
void saveScreenshot(framework::windows::Direct2dWindow &window, const std::wstring &name);

} // namespace uitest
