#include "app/Application.h"

#include "app/commandLine.h"
#include "app/exitCodes.h"
#include "app/fontChoice.h"
#include "app/initFailure.h"
#include "app/privileges.h"
#include "app/proxyCredentials.h"
#include "app/resourceIds.h"
#include "app/singleInstance.h"
#include "app/strings.h"
#include "installer/destination.h"
#include "installer/startup.h"
#include "kestrune/config.h"
#include "telemetry/InstallLog.h"
#include "telemetry/startupMarks.h"
#include "ui/MainWindow.h"
#include "ui/pageData.h"
#include "ui/showMessageBox.h"
#include "win32lib/http/ProxyRouter.h"
#include "win32lib/systemLibrary.h"
#include "win32lib/wordSize.h"

#include <cwchar>
#include <memory>

namespace app {
namespace {

Application *g_application = nullptr;

// What an exit code means, for the log's last line.
const wchar_t *exitCodeMeaning(unsigned code)
{
    for (const ExitCodeMeaning &known : kExitCodeMeanings) {
        if (known.code == code) {
            return known.meaning;
        }
    }
    return code >= kFirstInstallErrorExit && code <= kLastInstallErrorExit ? kInstallFailedMeaning : kOtherExitMeaning;
}

// The system box, as the command line is read before the application's own
// box can be drawn: the bad argument, if any, and the switches.
void showUsage(const std::wstring &badArgument)
{
    std::wstring text;
    if (!badArgument.empty()) {
        const std::wstring format = loadString(ids::kBadArgument);
        const int length = ::_scwprintf(format.c_str(), badArgument.c_str());
        if (length > 0) {
            std::wstring line(static_cast<size_t>(length) + 1, L'\0');
            ::_snwprintf(line.data(), line.size(), format.c_str(), badArgument.c_str());
            line.resize(static_cast<size_t>(length));
            text = line + L"\n\n";
        }
    }
    text += loadString(ids::kSwitchList);
    ::MessageBoxW(nullptr, text.c_str(), loadString(ids::kCaption).c_str(),
                  badArgument.empty() ? MB_ICONINFORMATION : MB_ICONERROR);
}

// Checks what the pure parse cannot: the destination's drive, and the log,
// which is opened here so that a log that cannot be written stops the run
// before anything is installed. An exit code when the run ends here.
std::optional<unsigned> takeCommandLine(CommandLine &commandLine)
{
    if (commandLine.badArgument.empty() && !commandLine.destination.empty() &&
        installer::validateDestination(commandLine.destination) != ERROR_SUCCESS) {
        commandLine.badArgument = kSwitchDestination + commandLine.destination;
    }
    if (commandLine.badArgument.empty() && !commandLine.logPath.empty()) {
        // The full path, as an elevated copy may start in another folder.
        wchar_t fullPath[MAX_PATH] = {};
        const DWORD length = ::GetFullPathNameW(commandLine.logPath.c_str(), MAX_PATH, fullPath, nullptr);
        if (length == 0 || length >= MAX_PATH ||
            telemetry::InstallLog::instance().open(fullPath, unelevatedUserMayAppend) != ERROR_SUCCESS) {
            commandLine.badArgument = kSwitchLog + commandLine.logPath;
        } else {
            commandLine.logPath = fullPath;
        }
    }
    const bool quiet = commandLine.silent();
    if (!commandLine.badArgument.empty()) {
        if (!quiet) {
            showUsage(commandLine.badArgument);
        }
        return kExitInvalidParameter;
    }
    if (commandLine.help) {
        if (!quiet) {
            showUsage({});
        }
        return kExitNormal;
    }
    return std::nullopt;
}

void logRunHeader(std::wstring_view arguments, uint32_t elevationType, uint32_t integrityLevel)
{
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    if (!log.isOpen()) {
        return;
    }
    log.write(std::wstring(L"Kestrune installer ") + KESTRUNE_VERSION_TEXT + L" started with \"" +
              std::wstring(arguments) + L"\"");
    uint32_t major = 0;
    uint32_t minor = 0;
    const std::wstring windows =
        getWorkstationVersion(major, minor) ? std::to_wstring(major) + L"." + std::to_wstring(minor) : L"unknown";
    log.write(std::to_wstring(sizeof(void *) * 8) + L"-bit installer on Windows " + windows + L", " +
              (win32lib::isWindows64Bit() ? L"64" : L"32") + L"-bit system");
    wchar_t level[16] = {};
    ::swprintf(level, std::size(level), L"0x%X", integrityLevel);
    log.write(L"Elevation type " + std::to_wstring(elevationType) + L", integrity level " + level +
              (isElevatedLevel(integrityLevel) ? L" (elevated)" : L" (not elevated)"));
}

} // namespace

Application &Application::instance()
{
    if (g_application == nullptr) {
        g_application = new Application();
    }
    return *g_application;
}

void Application::destroy() noexcept
{
    delete g_application;
    g_application = nullptr;
}

Application::Application() : shcore_(win32lib::loadSystemLibrary(L"SHCore.dll"))
{
    using framework::base::GetDpiForMonitorFn;
    using framework::base::GetProcessDpiAwarenessFn;
    using framework::base::SetProcessDpiAwarenessFn;
    GetDpiForMonitor = win32lib::systemProc<GetDpiForMonitorFn>(shcore_.get(), "GetDpiForMonitor");
    SetProcessDpiAwareness = win32lib::systemProc<SetProcessDpiAwarenessFn>(shcore_.get(), "SetProcessDpiAwareness");
    GetProcessDpiAwareness = win32lib::systemProc<GetProcessDpiAwarenessFn>(shcore_.get(), "GetProcessDpiAwareness");
}

Application::~Application()
{
    // The factories go before the mutex is closed and SHCore is freed.
    wicFactory_.Reset();
    dwriteFactory_.Reset();
    releaseSingleInstance();
}

int Application::iconResourceId() const noexcept
{
    return ids::kIcon;
}

HRESULT Application::createFactories()
{
    HRESULT result = ::CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                        IID_PPV_ARGS(wicFactory_.ReleaseAndGetAddressOf()));
    if (FAILED(result)) {
        return result;
    }
    return ::DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                 reinterpret_cast<IUnknown **>(dwriteFactory_.ReleaseAndGetAddressOf()));
}

HRESULT Application::chooseFont()
{
    return chooseUiFont(dwriteFactory_.Get(), programCharacters, font_);
}

unsigned Application::run(std::wstring_view arguments)
{
    telemetry::markStartup(L"entry");
    ::SetThreadUILanguage(MAKELANGID(LANG_ENGLISH, SUBLANG_NEUTRAL));
    const unsigned exitCode = runWithArguments(arguments);
    telemetry::InstallLog &log = telemetry::InstallLog::instance();
    log.endStep();
    // An interactive run ends with 0 whatever the user saw; its outcome is
    // in the lines above.
    const wchar_t *meaning =
        runMode() == RunMode::kInteractive && exitCode == kExitNormal ? L"window closed" : exitCodeMeaning(exitCode);
    log.write(std::wstring(L"Result: ") + meaning + L", exit code " + std::to_wstring(exitCode));
    log.close();
    return exitCode;
}

unsigned Application::startInstaller(const CommandLine &commandLine)
{
    installer_.takeCommandLine(commandLine);
    if (const std::optional<installer::StartRefusal> refusal = installer::startRefusal()) {
        if (commandLine.silent()) {
            return refusal->exitCode;
        }
        const int answer = ui::showMessageBox(nullptr, loadString(refusal->messageId).c_str(),
                                              loadString(refusal->captionId).c_str(), 0);
        return answer == -1 && refusal->initFailureWhenUnshown ? showInitFailure() : refusal->exitCode;
    }

    // A silent run carries its choices on its own command line and takes
    // nothing from a record another process left.
    const bool resuming = commandLine.mode == RunMode::kInteractive && installer_.takeOverHandoff();
    if (commandLine.silent()) {
        installer_.takeOverProxyRoute();
    }
    if (commandLine.mode == RunMode::kVerySilent) {
        return installer_.runWithoutWindow();
    }
    const bool silent = commandLine.mode == RunMode::kSilent;

    telemetry::markStartup(L"start checks");
    auto window = std::make_unique<ui::MainWindow>(installer_);
    window->usePreparedDevice(preparedDevice_);
    if (FAILED(window->initialize(resuming || silent ? ui::kPageInstalling : ui::kPageStart))) {
        return showInitFailure();
    }
    telemetry::markStartup(L"window drawn");
    window_ = std::move(window);
    installer_.setEvents(window_->events());
    if (commandLine.mode == RunMode::kInteractive) {
        // Only a run with a user asks for a proxy's credentials; silent runs
        // leave the proxy's refusal as it is.
        const HWND owner = window_->handle();
        win32lib::http::ProxyRouter::instance().setCredentialPrompt(
            [owner](const std::wstring &proxy, std::wstring &user, std::wstring &password) {
                return askProxyCredentials(owner, proxy, user, password);
            });
    }
    if (resuming) {
        window_->moveToRectangle(installer_.options().windowRect);
    }
    ::ShowWindow(window_->handle(), SW_SHOWNORMAL);
    telemetry::markStartup(L"window shown");
    // Before any run starts, so that a page that cannot be made still ends
    // the program as a failed initialisation.
    const HRESULT laterPages = window_->createLaterViews();
    telemetry::markStartup(L"other pages");
    telemetry::writeStartupMarks();
    if (FAILED(laterPages)) {
        window_.reset();
        return showInitFailure();
    }
    if (silent && !installer_.startUnattendedRun()) {
        return showInitFailure();
    }
    if (resuming) {
        installer_.resumeHandedOverRun();
    }
    return 0;
}

unsigned Application::runWithArguments(std::wstring_view arguments)
{
    CommandLine commandLine = parseCommandLine(arguments);
    if (const std::optional<unsigned> ended = takeCommandLine(commandLine)) {
        return *ended;
    }
    storeCommandLine(commandLine);
    if (commandLine.mode == RunMode::kInteractive) {
        preparedDevice_.start();
    }
    telemetry::markStartup(L"command line");

    if (FAILED(createFactories())) {
        return showInitFailure();
    }
    telemetry::markStartup(L"factories");

    ::SetLastError(0);
    uint32_t elevationType = 0;
    uint32_t integrityLevel = 0;
    if (getElevationType(elevationType) != ERROR_SUCCESS || getIntegrityLevel(integrityLevel) != ERROR_SUCCESS) {
        return showInitFailure();
    }
    storeProcessPrivileges(elevationType, integrityLevel);
    logRunHeader(arguments, elevationType, integrityLevel);
    telemetry::markStartup(L"privileges");

    // SYSTEM's integrity level counts as elevated: deployment tools need no
    // consent.
    if (commandLine.silent() && !isElevatedLevel(integrityLevel)) {
        return installer_.runElevatedCopy(elevatedCopyArguments(commandLine));
    }
    if (commandLine.mode == RunMode::kSilent) {
        preparedDevice_.start();
    }

    if (FAILED(chooseFont())) {
        return showInitFailure();
    }
    telemetry::markStartup(L"font");

    const bool heldBefore = holdsSingleInstance();
    if (heldBefore || !acquireSingleInstance()) {
        if (!commandLine.silent()) {
            ui::showMessageBox(nullptr, loadString(ids::kSecondInstance).c_str(), loadString(ids::kCaption).c_str(), 0);
        }
        releaseSingleInstance();
        return kExitSecondInstance;
    }

    telemetry::markStartup(L"single instance");
    const unsigned startResult = startInstaller(commandLine);
    // Without a window the installation has already run.
    if (startResult > 0 || commandLine.mode == RunMode::kVerySilent) {
        releaseSingleInstance();
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
    // The window may close while the worker still removes what a failed run
    // left: the exit code, the log's last line and the next instance wait
    // for the worker's end.
    const unsigned unattendedResult = installer_.waitForRunEnd();
    releaseSingleInstance();
    return commandLine.silent() ? unattendedResult : static_cast<unsigned>(message.wParam);
}

} // namespace app
