#include "installer/mainWindowHost.h"

#include "ui/MainWindow.h"

#include <memory>

namespace installer {
namespace {

// One main window per process. The object outlives its window handle (the
// window procedure dispatches to it until WM_NCDESTROY) and goes when the
// next window replaces it or the process ends.
std::unique_ptr<MainWindow> &mainWindowObject()
{
    static std::unique_ptr<MainWindow> window;
    return window;
}

} // namespace

HRESULT createMainWindow(Installer &installer, int initialPage, HWND &window)
{
    auto created = std::make_unique<MainWindow>(installer);
    const HRESULT result = created->initialize(initialPage);
    if (FAILED(result)) {
        return result;
    }
    window = created->handle();
    mainWindowObject() = std::move(created);
    return S_OK;
}

} // namespace installer
