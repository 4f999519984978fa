#include "framework/renderers/Direct2dDxgiRenderer.h"

#include <system_error>

namespace framework::renderers {

SurfaceSize fittedSurfaceSize(UINT currentWidth, UINT currentHeight, UINT width, UINT height) noexcept
{
    if (currentWidth >= width && currentHeight >= height) {
        return {currentWidth, currentHeight, false};
    }
    return {width + kSurfaceSlack, height + kSurfaceSlack, true};
}

Direct2dDxgiRenderer::~Direct2dDxgiRenderer()
{
    gdiInterop.Reset();
    renderTarget.Reset();
    surface.Reset();
    texture.Reset();
    device.Reset();
    factory.Reset();
}

UINT Direct2dDxgiRenderer::surfaceWidth() const noexcept
{
    if (!texture) {
        return 0;
    }
    D3D10_TEXTURE2D_DESC description = {};
    texture->GetDesc(&description);
    return description.Width;
}

UINT Direct2dDxgiRenderer::surfaceHeight() const noexcept
{
    if (!texture) {
        return 0;
    }
    D3D10_TEXTURE2D_DESC description = {};
    texture->GetDesc(&description);
    return description.Height;
}

HRESULT Direct2dDxgiRenderer::fit(UINT width, UINT height)
{
    const SurfaceSize size = fittedSurfaceSize(surfaceWidth(), surfaceHeight(), width, height);
    if (!size.grows) {
        return S_FALSE;
    }
    releaseSurface();
    return create(size.width, size.height);
}

HRESULT Direct2dDxgiRenderer::recreate()
{
    const UINT width = surfaceWidth();
    const UINT height = surfaceHeight();
    releaseSurface();
    device.Reset();
    if (factory) {
        factory->ReloadSystemMetrics();
    }
    return create(width, height);
}

COLORREF Direct2dDxgiRenderer::pixelAt(int x, int y)
{
    if (!surface) {
        return 0;
    }
    HDC dc = nullptr;
    if (FAILED(surface->GetDC(FALSE, &dc))) {
        return 0;
    }
    const COLORREF colour = ::GetPixel(dc, x, y);
    RECT nothingChanged = {};
    surface->ReleaseDC(&nothingChanged);
    return colour;
}

HRESULT createDevice(Microsoft::WRL::ComPtr<ID3D10Device1> &device, D3D10_DRIVER_TYPE &driverType) noexcept
{
    for (const D3D10_DRIVER_TYPE type : {D3D10_DRIVER_TYPE_HARDWARE, D3D10_DRIVER_TYPE_WARP}) {
        const HRESULT result =
            ::D3D10CreateDevice1(nullptr, type, nullptr, D3D10_CREATE_DEVICE_BGRA_SUPPORT, D3D10_FEATURE_LEVEL_10_0,
                                 D3D10_1_SDK_VERSION, device.ReleaseAndGetAddressOf());
        if (SUCCEEDED(result) || type == D3D10_DRIVER_TYPE_WARP) {
            driverType = SUCCEEDED(result) ? type : D3D10_DRIVER_TYPE_NULL;
            return result;
        }
    }
    return E_FAIL;
}

PreparedDevice::~PreparedDevice()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

void PreparedDevice::start() noexcept
{
    if (thread_.joinable() || factory_ || device_) {
        return;
    }
    try {
        thread_ = std::thread([this]() noexcept {
            (void)::D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                                      reinterpret_cast<void **>(factory_.ReleaseAndGetAddressOf()));
            (void)createDevice(device_, driverType_);
        });
    } catch (const std::system_error &) {
        // The window makes them itself.
    }
}

void PreparedDevice::handTo(Direct2dDxgiRenderer &renderer) noexcept
{
    if (thread_.joinable()) {
        thread_.join();
    }
    renderer.adopt(std::move(factory_), std::move(device_), driverType_);
}

void Direct2dDxgiRenderer::adopt(Microsoft::WRL::ComPtr<ID2D1Factory> madeFactory,
                                 Microsoft::WRL::ComPtr<ID3D10Device1> madeDevice,
                                 D3D10_DRIVER_TYPE madeDriverType) noexcept
{
    if (madeFactory && !factory) {
        factory = std::move(madeFactory);
    }
    if (madeDevice && !device) {
        device = std::move(madeDevice);
        driverType_ = madeDriverType;
    }
}

HRESULT Direct2dDxgiRenderer::createFactory()
{
    if (factory) {
        return S_OK;
    }
    return ::D2D1CreateFactory(D2D1_FACTORY_TYPE_SINGLE_THREADED, __uuidof(ID2D1Factory), nullptr,
                               reinterpret_cast<void **>(factory.ReleaseAndGetAddressOf()));
}

HRESULT Direct2dDxgiRenderer::create(UINT width, UINT height)
{
    HRESULT result = S_OK;
    if (!device && FAILED(result = createDevice(device, driverType_))) {
        return result;
    }
    if (!texture) {
        D3D10_TEXTURE2D_DESC description = {};
        description.Width = width;
        description.Height = height;
        description.MipLevels = 1;
        description.ArraySize = 1;
        description.Format = DXGI_FORMAT_B8G8R8A8_UNORM;
        description.SampleDesc.Count = 1;
        description.SampleDesc.Quality = 0;
        description.Usage = D3D10_USAGE_DEFAULT;
        description.BindFlags = D3D10_BIND_RENDER_TARGET;
        description.CPUAccessFlags = 0;
        description.MiscFlags = D3D10_RESOURCE_MISC_GDI_COMPATIBLE;
        if (FAILED(result = device->CreateTexture2D(&description, nullptr, &texture))) {
            return result;
        }
    }
    if (!surface && FAILED(result = texture.As(&surface))) {
        return result;
    }
    if (!renderTarget) {
        if (!factory) {
            return E_POINTER;
        }
        float dpiX = 96.0f;
        float dpiY = 96.0f;
        factory->GetDesktopDpi(&dpiX, &dpiY);
        const D2D1_RENDER_TARGET_PROPERTIES properties = D2D1::RenderTargetProperties(
            D2D1_RENDER_TARGET_TYPE_DEFAULT,
            D2D1::PixelFormat(DXGI_FORMAT_B8G8R8A8_UNORM, D2D1_ALPHA_MODE_PREMULTIPLIED), dpiX, dpiY,
            D2D1_RENDER_TARGET_USAGE_GDI_COMPATIBLE, D2D1_FEATURE_LEVEL_DEFAULT);
        if (FAILED(result = factory->CreateDxgiSurfaceRenderTarget(surface.Get(), &properties, &renderTarget))) {
            return result;
        }
    }
    if (!gdiInterop && FAILED(result = renderTarget.As(&gdiInterop))) {
        return result;
    }
    return S_OK;
}

void Direct2dDxgiRenderer::releaseSurface()
{
    gdiInterop.Reset();
    renderTarget.Reset();
    surface.Reset();
    texture.Reset();
}

} // namespace framework::renderers
