#include "app/Application.h"

#include "app/exitCodes.h"
#include "app/fontChoice.h"
#include "app/privileges.h"
#include "app/resourceIds.h"
#include "app/strings.h"
#include "ui/ShowMessageBox.h"
#include "win32lib/systemLibrary.h"

namespace app {
namespace {

Application *g_application = nullptr;

} // namespace

Application &Application::instance()
{
    if (g_application == nullptr) {
        g_application = new Application();
    }
    return *g_application;
}

bool Application::exists() noexcept
{
    return g_application != nullptr;
}

void Application::destroy() noexcept
{
    delete g_application;
    g_application = nullptr;
}

Application::Application() : shcore_(Win32Lib::loadSystemLibrary(L"SHCore.dll"))
{
    GetDpiForMonitor = Win32Lib::systemProc<GetDpiForMonitorFn>(shcore_.get(), "GetDpiForMonitor");
    SetProcessDpiAwareness = Win32Lib::systemProc<SetProcessDpiAwarenessFn>(shcore_.get(), "SetProcessDpiAwareness");
    GetProcessDpiAwareness = Win32Lib::systemProc<GetProcessDpiAwarenessFn>(shcore_.get(), "GetProcessDpiAwareness");
}

Application::~Application()
{
    // The factories go before the mutex is closed and SHCore is freed.
    wicFactory_.Reset();
    dwriteFactory_.Reset();
    singleInstanceMutex_.reset();
}

bool Application::acquireSingleInstance()
{
    if (singleInstanceMutex_) {
        return false;
    }
    singleInstanceMutex_.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
    const DWORD error = ::GetLastError();
    // Another user's instance shows up as access denied; any other failure
    // to create the mutex does not stop the program.
    return error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED;
}

void Application::releaseSingleInstance() noexcept
{
    singleInstanceMutex_.reset();
}

unsigned Application::run()
{
    ::SetThreadUILanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL));

    if (FAILED(
            ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&wicFactory_)))) {
        return showInitFailure();
    }
    if (FAILED(::DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                     reinterpret_cast<IUnknown **>(dwriteFactory_.GetAddressOf())))) {
        return showInitFailure();
    }

    ::SetLastError(0);
    uint32_t elevationType = 0;
    uint32_t integrityLevel = 0;
    if (getElevationType(elevationType) != ERROR_SUCCESS || getIntegrityLevel(integrityLevel) != ERROR_SUCCESS) {
        return showInitFailure();
    }
    storeProcessPrivileges(elevationType, integrityLevel);

    if (FAILED(chooseUiFont(dwriteFactory_.Get(), font_))) {
        return showInitFailure();
    }

    const bool heldBefore = static_cast<bool>(singleInstanceMutex_);
    if (heldBefore || !acquireSingleInstance()) {
        application::ShowMessageBox(nullptr, loadString(ids::kSecondInstance).c_str(),
                                    loadString(ids::kCaption).c_str(), 0);
        singleInstanceMutex_.reset();
        return kExitSecondInstance;
    }

    const unsigned startResult = installer_.start();
    if (startResult > 0) {
        return startResult;
    }

    MSG message = {};
    for (;;) {
        const BOOL got = ::GetMessageW(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) {
            break;
        }
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    singleInstanceMutex_.reset();
    return static_cast<unsigned>(message.wParam);
}

framework::text::FontDescription uiFont()
{
    return Application::exists() ? Application::instance().font() : framework::text::FontDescription{};
}

unsigned showInitFailure()
{
    ::MessageBoxW(nullptr, loadString(ids::kInitFailure).c_str(), loadString(ids::kCaption).c_str(), MB_ICONERROR);
    return kExitInitFailure;
}

} // namespace app
