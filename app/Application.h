#pragma once

#include "framework/base/CoreApplication.h"
#include "framework/text/FontDescription.h"
#include "installer/Installer.h"
#include "win32lib/UniqueResource.h"

#include <dwrite.h>
#include <shellscalingapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <optional>
#include <string_view>

namespace app {

using GetDpiForMonitorFn = HRESULT(WINAPI *)(HMONITOR, MONITOR_DPI_TYPE, UINT *, UINT *);
using SetProcessDpiAwarenessFn = HRESULT(WINAPI *)(PROCESS_DPI_AWARENESS);
using GetProcessDpiAwarenessFn = HRESULT(WINAPI *)(HANDLE, PROCESS_DPI_AWARENESS *);

inline constexpr wchar_t kSingleInstanceMutexName[] = L"Global\\Orv_90f329a0-c6af-4e7b-9ee9-79b6106a90f6";

class Application final : public framework::base::CoreApplication {
public:
    // Created on first use; the entry point creates it before anything else
    // runs, so the worker thread only ever reads it.
    static Application &instance();
    static bool exists() noexcept;
    static void destroy() noexcept;

    ~Application() override;

    // `arguments`: the command line after the program's name. Returns the
    // process exit code.
    unsigned run(std::wstring_view arguments = {});

    // The WIC and shared DirectWrite factories; run() makes them first. Tests
    // of the window layer call it directly.
    [[nodiscard]] HRESULT createFactories();
    // The UI font, chosen with the shared DirectWrite factory.
    [[nodiscard]] HRESULT chooseFont();

    // The single-instance mutex, also released and retaken around the
    // elevated restart. True when this process now holds it.
    bool acquireSingleInstance();
    void releaseSingleInstance() noexcept;

    [[nodiscard]] installer::Installer &installer() noexcept { return installer_; }
    [[nodiscard]] IWICImagingFactory *wicFactory() const noexcept { return wicFactory_.Get(); }
    [[nodiscard]] IDWriteFactory *dwriteFactory() const noexcept { return dwriteFactory_.Get(); }
    [[nodiscard]] const framework::text::FontDescription &font() const noexcept { return font_; }

    GetDpiForMonitorFn GetDpiForMonitor = nullptr;
    SetProcessDpiAwarenessFn SetProcessDpiAwareness = nullptr;
    GetProcessDpiAwarenessFn GetProcessDpiAwareness = nullptr;

private:
    Application();

    unsigned runWithArguments(std::wstring_view arguments);

    Win32Lib::UniqueHModule shcore_;
    Win32Lib::UniqueHandle singleInstanceMutex_;
    Microsoft::WRL::ComPtr<IWICImagingFactory> wicFactory_;
    Microsoft::WRL::ComPtr<IDWriteFactory> dwriteFactory_;
    framework::text::FontDescription font_;
    installer::Installer installer_;
};

// The UI font; the default description while no application exists.
[[nodiscard]] framework::text::FontDescription uiFont();

// The system box with texts 1400/1700 (none in a silent run); always 23001.
unsigned showInitFailure();

} // namespace app
