#pragma once

#include "framework/text/FontDescription.h"

#include <dwrite.h>
#include <shellscalingapi.h>
#include <wincodec.h>

namespace framework::base {

using GetDpiForMonitorFn = HRESULT(WINAPI *)(HMONITOR, MONITOR_DPI_TYPE, UINT *, UINT *);
using SetProcessDpiAwarenessFn = HRESULT(WINAPI *)(PROCESS_DPI_AWARENESS);
using GetProcessDpiAwarenessFn = HRESULT(WINAPI *)(HANDLE, PROCESS_DPI_AWARENESS *);

// What the framework takes from the program that runs it: the shared
// factories, SHCore's DPI functions, the UI font and the windows' icon. The
// program's application registers itself here when it is made, so that the
// framework never needs to know the program's own classes.
class CoreApplication {
public:
    CoreApplication(const CoreApplication &) = delete;
    CoreApplication &operator=(const CoreApplication &) = delete;

    // The application that exists now; null before it is made.
    [[nodiscard]] static CoreApplication *current() noexcept;

    [[nodiscard]] virtual IWICImagingFactory *wicFactory() const noexcept = 0;
    [[nodiscard]] virtual IDWriteFactory *dwriteFactory() const noexcept = 0;
    [[nodiscard]] virtual const text::FontDescription &font() const noexcept = 0;
    // The icon resource of the windows' class.
    [[nodiscard]] virtual int iconResourceId() const noexcept = 0;

    // Null when SHCore or the export is missing.
    GetDpiForMonitorFn GetDpiForMonitor = nullptr;
    SetProcessDpiAwarenessFn SetProcessDpiAwareness = nullptr;
    GetProcessDpiAwarenessFn GetProcessDpiAwareness = nullptr;

protected:
    CoreApplication() noexcept;
    virtual ~CoreApplication();
};

// The UI font; the default description while no application exists.
[[nodiscard]] text::FontDescription uiFont();

} // namespace framework::base
