#include "installer/launching.h"

#include "installer/crossProcess.h"
#include "installer/productPaths.h"
#include "installer/registration.h"
#include "installer/updaterTrust.h"
#include "win32lib/UniqueResource.h"
#include "win32lib/systemLibrary.h"

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlobj.h>
#include <shlguid.h>
#include <shobjidl.h>
#include <wrl/client.h>

namespace installer {

using Microsoft::WRL::ComPtr;

namespace {

constexpr uint16_t kUpdaterNotStarted = 20060;
constexpr uint16_t kUpdaterFailed = 20061;
constexpr DWORD kUpdaterCreationFlags = CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS;

// Null texts are passed as empty strings.
bool setString(win32lib::UniqueVariant &variant, const wchar_t *text)
{
    variant.reset();
    variant.get().vt = VT_BSTR;
    variant.get().bstrVal = ::SysAllocString(text != nullptr ? text : L"");
    return variant.get().bstrVal != nullptr;
}

// The system's environment block, without the variables of the user who
// started the installer (a user's PATH may name folders the user writes).
class SystemEnvironment {
public:
    SystemEnvironment() = default;
    SystemEnvironment(const SystemEnvironment &) = delete;
    SystemEnvironment &operator=(const SystemEnvironment &) = delete;
    ~SystemEnvironment()
    {
        if (block_ != nullptr && destroy_ != nullptr) {
            destroy_(block_);
        }
    }

    // False with the thread's last error set.
    [[nodiscard]] bool create()
    {
        using Create = BOOL(WINAPI *)(LPVOID *, HANDLE, BOOL);
        userenv_ = win32lib::loadSystemLibrary(L"userenv.dll");
        const auto createBlock = win32lib::systemProc<Create>(userenv_.get(), "CreateEnvironmentBlock");
        destroy_ = win32lib::systemProc<Destroy>(userenv_.get(), "DestroyEnvironmentBlock");
        if (createBlock == nullptr || destroy_ == nullptr) {
            return false;
        }
        // No token: the system's variables alone.
        return createBlock(&block_, nullptr, FALSE) != FALSE;
    }

    [[nodiscard]] void *block() const noexcept { return block_; }

private:
    using Destroy = BOOL(WINAPI *)(LPVOID);
    win32lib::UniqueHModule userenv_;
    Destroy destroy_ = nullptr;
    void *block_ = nullptr;
};

} // namespace

std::wstring updaterCommandLine(const std::wstring &destination)
{
    return L"\"" + updaterPath(destination) + L"\" -i";
}

uint16_t runUpdater(const std::wstring &destination, const std::wstring &version, bool createDesktopShortcut,
                    uint32_t &detail)
{
    // Exists while the updater runs and the registration is written.
    SharedMemory updaterMapping;
    if (!createUpdaterMapping(destination, updaterMapping)) {
        detail = ::GetLastError();
        return kUpdaterNotStarted;
    }

    // Held open without write or delete sharing from the signature check
    // until the process has started, so that the program checked is the
    // program run.
    const std::wstring updater = updaterPath(destination);
    win32lib::UniqueFile updaterFile(
        ::CreateFileW(updater.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!updaterFile) {
        detail = ::GetLastError();
        return kUpdaterNotStarted;
    }
    if (const uint32_t distrust = checkUpdaterTrust(updaterFile.get(), updater); distrust != ERROR_SUCCESS) {
        detail = distrust;
        updaterFile.reset();
        return kUpdaterNotStarted;
    }

    // The updater starts clean: in its own folder (the installer's may be the
    // user's Downloads, which would be on its DLL search path), with no
    // handle of this process and the system's environment.
    SystemEnvironment environment;
    if (!environment.create()) {
        detail = ::GetLastError();
        updaterFile.reset();
        return kUpdaterNotStarted;
    }
    const std::wstring updaterFolder = destination + L"\\" + kUpdaterFolder;
    std::wstring commandLine = updaterCommandLine(destination);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessW(updater.c_str(), commandLine.data(), nullptr, nullptr, FALSE,
                          kUpdaterCreationFlags | CREATE_UNICODE_ENVIRONMENT, environment.block(),
                          updaterFolder.c_str(), &startup, &started)) {
        detail = ::GetLastError();
        updaterFile.reset();
        return kUpdaterNotStarted;
    }
    win32lib::UniqueHandle process(started.hProcess);
    win32lib::UniqueHandle thread(started.hThread);
    updaterFile.reset();

    ::WaitForSingleObject(process.get(), INFINITE);
    DWORD exitCode = 0;
    if (!::GetExitCodeProcess(process.get(), &exitCode)) {
        detail = ::GetLastError();
    }
    thread.reset();
    process.reset();

    if (exitCode != 0) {
        detail = exitCode;
        return kUpdaterFailed;
    }

    // None of these can fail the installation.
    (void)writeUninstallEntry(destination, version);
    (void)createShortcuts(destination, createDesktopShortcut);
    (void)writeCampaignValue();
    return 0;
}

HRESULT shellExecuteUnelevated(const wchar_t *file, const wchar_t *folder, const wchar_t *arguments,
                               const wchar_t *verb, int showCommand)
{
    ComPtr<IShellWindows> shellWindows;
    HRESULT result = ::CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&shellWindows));
    if (FAILED(result)) {
        return result;
    }

    win32lib::UniqueVariant desktopLocation;
    desktopLocation.get().vt = VT_I4;
    desktopLocation.get().lVal = CSIDL_DESKTOP;
    win32lib::UniqueVariant emptyRoot;
    long desktopWindow = 0;
    ComPtr<IDispatch> desktop;
    result = shellWindows->FindWindowSW(&desktopLocation.get(), &emptyRoot.get(), SWC_DESKTOP, &desktopWindow,
                                        SWFO_NEEDDISPATCH, &desktop);
    if (FAILED(result)) {
        return result;
    }
    // S_FALSE: no desktop window.
    if (!desktop) {
        return E_FAIL;
    }

    ComPtr<IServiceProvider> services;
    if (FAILED(result = desktop.As(&services))) {
        return result;
    }
    ComPtr<IShellBrowser> browser;
    if (FAILED(result = services->QueryService(SID_STopLevelBrowser, IID_PPV_ARGS(&browser)))) {
        return result;
    }
    ComPtr<IShellView> view;
    if (FAILED(result = browser->QueryActiveShellView(&view))) {
        return result;
    }
    ComPtr<IDispatch> background;
    if (FAILED(result = view->GetItemObject(SVGIO_BACKGROUND, IID_PPV_ARGS(&background)))) {
        return result;
    }
    ComPtr<IShellFolderViewDual> folderView;
    if (FAILED(result = background.As(&folderView))) {
        return result;
    }
    ComPtr<IDispatch> application;
    if (FAILED(result = folderView->get_Application(&application))) {
        return result;
    }
    ComPtr<IShellDispatch2> shell;
    if (FAILED(result = application.As(&shell))) {
        return result;
    }

    win32lib::UniqueBstr fileText(::SysAllocString(file != nullptr ? file : L""));
    win32lib::UniqueVariant argumentsValue;
    win32lib::UniqueVariant folderValue;
    win32lib::UniqueVariant verbValue;
    if (!fileText || !setString(argumentsValue, arguments) || !setString(folderValue, folder) ||
        !setString(verbValue, verb)) {
        return E_OUTOFMEMORY;
    }
    win32lib::UniqueVariant showValue;
    showValue.get().vt = VT_I4;
    showValue.get().lVal = showCommand;
    return shell->ShellExecute(fileText.get(), argumentsValue.get(), folderValue.get(), verbValue.get(),
                               showValue.get());
}

HRESULT openInBrowser(const std::wstring &address, int showCommand)
{
    return shellExecuteUnelevated(address.c_str(), nullptr, nullptr, L"open", showCommand);
}

} // namespace installer
