#pragma once

#include "framework/renderers/Direct2dRenderer.h"

#include <d2d1.h>
#include <d3d10_1.h>
#include <dxgi.h>
#include <wrl/client.h>

#include <thread>

namespace framework::renderers {

// Pixels of slack added when the surface has to grow, so that a window
// resized a little at a time does not rebuild its surface on every step.
inline constexpr UINT kSurfaceSlack = 100;

// Sizes of a surface that must hold width x height: unchanged when it already
// does (never shrinks), otherwise the request plus the slack.
struct SurfaceSize {
    UINT width;
    UINT height;
    bool grows;
};
[[nodiscard]] SurfaceSize fittedSurfaceSize(UINT currentWidth, UINT currentHeight, UINT width, UINT height) noexcept;

// A Direct3D 10.1 device with BGRA support: hardware, else WARP.
[[nodiscard]] HRESULT createDevice(Microsoft::WRL::ComPtr<ID3D10Device1> &device,
                                   D3D10_DRIVER_TYPE &driverType) noexcept;

class Direct2dDxgiRenderer;

// The Direct2D factory and the Direct3D device, the longest steps of a
// window's start-up under Wine, made on a thread of their own while the
// program goes on with the rest of its start-up.
class PreparedDevice {
public:
    PreparedDevice() = default;
    PreparedDevice(const PreparedDevice &) = delete;
    PreparedDevice &operator=(const PreparedDevice &) = delete;
    ~PreparedDevice();

    // Starts making them; once only. Without a thread nothing is prepared.
    void start() noexcept;
    // Waits for them and gives them to `renderer`, which makes what is
    // missing itself.
    void handTo(Direct2dDxgiRenderer &renderer) noexcept;

private:
    std::thread thread_;
    Microsoft::WRL::ComPtr<ID2D1Factory> factory_;
    Microsoft::WRL::ComPtr<ID3D10Device1> device_;
    D3D10_DRIVER_TYPE driverType_ = D3D10_DRIVER_TYPE_NULL;
};

// A Direct2D render target on a GDI-compatible Direct3D 10.1 texture: the
// frame can be handed to a layered window through GDI and single pixels
// read back for hit testing.
class Direct2dDxgiRenderer : public Direct2dRenderer {
public:
    Direct2dDxgiRenderer() = default;
    Direct2dDxgiRenderer(const Direct2dDxgiRenderer &) = delete;
    Direct2dDxgiRenderer &operator=(const Direct2dDxgiRenderer &) = delete;

    // 1 (S_FALSE) when the surface already holds width x height; 0 when a
    // new, larger target was made; a failure otherwise.
    virtual HRESULT fit(UINT width, UINT height);
    // After device loss: a new device and surface of the same size.
    virtual HRESULT recreate();
    // CLR_INVALID outside the surface; 0 when no DC can be had.
    virtual COLORREF pixelAt(int x, int y);
    virtual HRESULT createFactory();
    // Creates whatever is missing: device, texture and surface, target.
    virtual HRESULT create(UINT width, UINT height);
    virtual void releaseSurface();
    virtual ~Direct2dDxgiRenderer();
    // A factory and device made beforehand, taken instead of new ones.
    void adopt(Microsoft::WRL::ComPtr<ID2D1Factory> madeFactory, Microsoft::WRL::ComPtr<ID3D10Device1> madeDevice,
               D3D10_DRIVER_TYPE madeDriverType) noexcept;

    [[nodiscard]] ID2D1RenderTarget *getRenderTarget() const noexcept { return renderTarget.Get(); }
    [[nodiscard]] ID2D1GdiInteropRenderTarget *getGdiInterop() const noexcept { return gdiInterop.Get(); }
    [[nodiscard]] ID3D10Device1 *getDevice() const noexcept { return device.Get(); }
    [[nodiscard]] IDXGISurface1 *getSurface() const noexcept { return surface.Get(); }
    [[nodiscard]] UINT surfaceWidth() const noexcept;
    [[nodiscard]] UINT surfaceHeight() const noexcept;
    // The driver type the device was made with (hardware, or WARP as fallback).
    [[nodiscard]] D3D10_DRIVER_TYPE driverType() const noexcept { return driverType_; }

protected:
    Microsoft::WRL::ComPtr<ID2D1Factory> factory;
    Microsoft::WRL::ComPtr<ID2D1RenderTarget> renderTarget;
    Microsoft::WRL::ComPtr<ID2D1GdiInteropRenderTarget> gdiInterop;
    Microsoft::WRL::ComPtr<ID3D10Device1> device;
    Microsoft::WRL::ComPtr<ID3D10Texture2D> texture;
    Microsoft::WRL::ComPtr<IDXGISurface1> surface;

private:
    D3D10_DRIVER_TYPE driverType_ = D3D10_DRIVER_TYPE_NULL;
};

} // namespace framework::renderers
