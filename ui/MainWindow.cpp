#include "ui/MainWindow.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/base/CoreApplication.h"
#include "ui/WindowEvents.h"
#include "ui/layoutRules.h"
#include "ui/pageData.h"
#include "ui/pages/ChooseDirView.h"
#include "ui/pages/ErrorPageView.h"
#include "ui/pages/FinishView.h"
#include "ui/pages/InstallingView.h"
#include "ui/pages/StartPageView.h"
#include "ui/showMessageBox.h"

namespace ui {

MainWindow::MainWindow(installer::InstallerCommands &commands)
    : Direct2dWindow(nullptr, app::loadString(app::ids::kCaption).c_str(), kWidth, kHeight, kActiveBackground,
                     kInactiveBackground),
      commands_(commands)
{
}

const wchar_t *MainWindow::className() const
{
    return L"Main Window";
}

void MainWindow::close()
{
    if (currentView != nullptr && currentView->id == pages::InstallingView::kId) {
        askToStop();
        return;
    }
    commands_.finish();
    ::DestroyWindow(hwnd);
}

void MainWindow::onDestroyed()
{
    ::PostQuitMessage(0);
}

void MainWindow::onEscape()
{
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
}

HRESULT MainWindow::createContent(intptr_t argument)
{
    const framework::text::FontDescription font = framework::base::uiFont();
    IDWriteFactory *factory = textFactory.Get();
    nonClientView = std::make_unique<framework::views::NonClientAreaView>(this, true);
    views.push_back(std::make_unique<pages::ErrorPageView>(this, factory, font));
    views.push_back(std::make_unique<pages::StartPageView>(this, factory, font));
    views.push_back(std::make_unique<pages::ChooseDirView>(this, factory, font));
    views.push_back(std::make_unique<pages::InstallingView>(this, factory, font));
    views.push_back(std::make_unique<pages::FinishView>(this, factory, font));
    if (const HRESULT created = contentCreation(); FAILED(created)) {
        return created;
    }
    currentView = page(pages::StartPageView::kId);
    if (argument != 0) {
        if (auto *initial = page(static_cast<int32_t>(argument))) {
            currentView = initial;
        }
    }
    currentView->show();
    return S_OK;
}

std::shared_ptr<installer::InstallerEvents> MainWindow::events()
{
    if (!events_) {
        events_ = std::make_shared<WindowEvents>(hwnd);
    }
    return events_;
}

framework::views::View *MainWindow::page(int32_t id) const noexcept
{
    for (const auto &view : views) {
        if (view->id == id) {
            return view.get();
        }
    }
    return nullptr;
}

void MainWindow::beginInstall()
{
    RECT rect = {};
    ::GetWindowRect(hwnd, &rect);
    switch (commands_.beginInstall(rect)) {
    case installer::BeginOutcome::kHandedOver:
        ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
        break;
    case installer::BeginOutcome::kElevationDeclined:
        showMessageBox(hwnd, app::loadString(app::ids::kRunAsAdministrator).c_str(),
                       app::loadString(app::ids::kInformation).c_str(), 0);
        break;
    case installer::BeginOutcome::kStarted:
    case installer::BeginOutcome::kNotStarted:
        break;
    }
}

void MainWindow::askToStop()
{
    const int answer = showMessageBox(hwnd, app::loadString(app::ids::kStopQuestion).c_str(),
                                      app::loadString(app::ids::kInformation).c_str(), MB_YESNO);
    if (answer != IDYES) {
        return;
    }
    deliverPageData(hwnd, Delivery::kPost, kPageInstalling, kDataStatus, installer::kStatusCancelling);
    commands_.requestStop();
}

void MainWindow::moveToRectangle(const RECT &rect)
{
    RECT current = {};
    ::GetWindowRect(hwnd, &current);
    const SIZE ownSize = {current.right - current.left, current.bottom - current.top};
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!::GetMonitorInfoW(::MonitorFromRect(&rect, MONITOR_DEFAULTTONEAREST), &monitor)) {
        return;
    }
    const RECT placed = placeInWorkArea(rect, ownSize, monitor.rcWork);
    ::SetWindowPos(hwnd, nullptr, placed.left, placed.top, placed.right - placed.left, placed.bottom - placed.top,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

} // namespace ui
