#include "ui/MainWindow.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/base/CoreApplication.h"
#include "installer/Installer.h"
#include "ui/pages/ChooseDirView.h"
#include "ui/pages/ErrorPageView.h"
#include "ui/pages/FinishView.h"
#include "ui/pages/InstallingView.h"
#include "ui/pages/StartPageView.h"

namespace installer {

MainWindow::MainWindow(Installer &installer)
    : Direct2dWindow(nullptr, app::loadString(app::ids::kCaption).c_str(), kWidth, kHeight, kActiveBackground,
                     kInactiveBackground),
      installer_(installer)
{
}

const wchar_t *MainWindow::className() const
{
    return L"Main Window";
}

void MainWindow::close()
{
    if (currentView != nullptr && currentView->id == InstallingView::kId) {
        askToStopInstallation(hwnd, installer_.options());
        return;
    }
    installer_.finishActions();
    ::DestroyWindow(hwnd);
}

void MainWindow::onDestroyed()
{
    ::PostQuitMessage(0);
}

HRESULT MainWindow::createContent(intptr_t argument)
{
    try {
        const framework::text::FontDescription font = framework::base::uiFont();
        IDWriteFactory *factory = textFactory.Get();
        nonClientView = std::make_unique<application::controls::views::NonClientAreaView>(this, true);
        views.push_back(std::make_unique<ErrorPageView>(this, factory, font));
        views.push_back(std::make_unique<StartPageView>(this, factory, font));
        views.push_back(std::make_unique<ChooseDirView>(this, factory, font));
        views.push_back(std::make_unique<InstallingView>(this, factory, font));
        views.push_back(std::make_unique<FinishView>(this, factory, font));
    } catch (long error) {
        return static_cast<HRESULT>(error);
    }
    currentView = page(StartPageView::kId);
    if (argument != 0) {
        if (auto *initial = page(static_cast<int32_t>(argument))) {
            currentView = initial;
        }
    }
    currentView->show();
    return S_OK;
}

application::controls::views::View *MainWindow::page(int32_t id) const noexcept
{
    for (const auto &view : views) {
        if (view->id == id) {
            return view.get();
        }
    }
    return nullptr;
}

} // namespace installer
