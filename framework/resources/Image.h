#pragma once

#include <d2d1.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <string_view>

namespace framework::resources {

// A decoded picture: the WIC source exists only while the device bitmap is
// being made; afterwards only the Direct2D bitmap stays.
class Image {
public:
    Image() = default;
    Image(const Image &) = delete;
    Image &operator=(const Image &) = delete;
    virtual HRESULT createDeviceResource(ID2D1RenderTarget *renderTarget);
    virtual ID2D1Bitmap *getBitmap();
    virtual void releaseDeviceResource();
    virtual ~Image() = default;

    Microsoft::WRL::ComPtr<IWICBitmapSource> source;
    Microsoft::WRL::ComPtr<ID2D1Bitmap> bitmap;
};

// Decodes image-file bytes into `image.source` as premultiplied 32-bit BGRA,
// converted to the primary monitor's colour profile when the picture carries
// a profile and the monitor has one.
[[nodiscard]] HRESULT decodeImage(IWICImagingFactory *factory, std::string_view bytes, Image &image);

// Decodes, makes the device bitmap on `renderTarget` and drops the source.
[[nodiscard]] HRESULT loadImageBytes(IWICImagingFactory *factory, std::string_view bytes,
                                     ID2D1RenderTarget *renderTarget, Image &image);

} // namespace framework::resources
