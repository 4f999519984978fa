#pragma once

#include "framework/base/CoreApplication.h"
#include "framework/renderers/Direct2dDxgiRenderer.h"
#include "framework/text/FontDescription.h"
#include "installer/Installer.h"
#include "ui/MainWindow.h"
#include "win32lib/UniqueResource.h"

#include <dwrite.h>
#include <shellscalingapi.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <optional>
#include <string_view>

namespace app {

class Application final : public framework::base::CoreApplication {
public:
    // Created on first use; the entry point creates it before anything else
    // runs, so the worker thread only ever reads it.
    static Application &instance();
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

    [[nodiscard]] installer::Installer &installer() noexcept { return installer_; }
    [[nodiscard]] IWICImagingFactory *wicFactory() const noexcept override { return wicFactory_.Get(); }
    [[nodiscard]] IDWriteFactory *dwriteFactory() const noexcept override { return dwriteFactory_.Get(); }
    [[nodiscard]] const framework::text::FontDescription &font() const noexcept override { return font_; }
    [[nodiscard]] int iconResourceId() const noexcept override;

private:
    Application();

    unsigned runWithArguments(std::wstring_view arguments);
    // Opens the window, or runs without one, or refuses to start. 0 once the
    // window is open; otherwise the exit code.
    unsigned startInstaller(const CommandLine &commandLine);

    win32lib::UniqueHModule shcore_;
    Microsoft::WRL::ComPtr<IWICImagingFactory> wicFactory_;
    Microsoft::WRL::ComPtr<IDWriteFactory> dwriteFactory_;
    framework::text::FontDescription font_;
    // Made while the rest of the start-up runs, for the window.
    framework::renderers::PreparedDevice preparedDevice_;
    // Before the engine, so that it outlives the engine's worker, which
    // tells it what happens until it ends.
    std::unique_ptr<ui::MainWindow> window_;
    installer::Installer installer_;
};

} // namespace app
