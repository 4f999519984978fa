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
#include "telemetry/startupMarks.h"

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

namespace {

using PageMaker = std::function<std::unique_ptr<framework::views::View>()>;

template <typename Page>
PageMaker pageMaker(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font)
{
    return [window, factory, font] { return std::make_unique<Page>(window, factory, font); };
}

} // namespace

HRESULT MainWindow::createContent(intptr_t argument)
{
    const framework::text::FontDescription font = framework::base::uiFont();
    IDWriteFactory *factory = textFactory.Get();
    nonClientView = std::make_unique<framework::views::NonClientAreaView>(this, true);
    std::pair<int32_t, PageMaker> pages[] = {
        {pages::ErrorPageView::kId, pageMaker<pages::ErrorPageView>(this, factory, font)},
        {pages::StartPageView::kId, pageMaker<pages::StartPageView>(this, factory, font)},
        {pages::ChooseDirView::kId, pageMaker<pages::ChooseDirView>(this, factory, font)},
        {pages::InstallingView::kId, pageMaker<pages::InstallingView>(this, factory, font)},
        {pages::FinishView::kId, pageMaker<pages::FinishView>(this, factory, font)},
    };
    int32_t initialId = pages::StartPageView::kId;
    for (const auto &[id, make] : pages) {
        if (id == argument) {
            initialId = id;
        }
    }
    // The first frame shows one page; the others cost time before it for
    // nothing, so they are made once it is on the screen.
    for (auto &[id, make] : pages) {
        if (id == initialId) {
            views.push_back(make());
        } else {
            laterViews.push_back(std::move(make));
        }
    }
    if (const HRESULT created = contentCreation(); FAILED(created)) {
        return created;
    }
    currentView = views.front().get();
    currentView->show();
    return S_OK;
}

void MainWindow::onStartupStep(const wchar_t *step) noexcept
{
    telemetry::markStartup(step);
}

std::shared_ptr<installer::InstallerEvents> MainWindow::events()
{
    if (!events_) {
        events_ = std::make_shared<WindowEvents>(hwnd);
    }
    return events_;
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
