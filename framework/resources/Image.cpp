#include "framework/resources/Image.h"

#include "framework/resources/colourManagement.h"

namespace framework::resources {

using Microsoft::WRL::ComPtr;

HRESULT Image::createDeviceResource(ID2D1RenderTarget *renderTarget)
{
    if (bitmap) {
        return S_OK;
    }
    if (renderTarget == nullptr || !source) {
        return E_POINTER;
    }
    // 96 DPI stated rather than implied by null properties: Wine gives such a
    // bitmap the target's DPI, which would turn every atlas source rectangle
    // (bitmap pixels) into scaled DIPs at 150 %.
    const D2D1_BITMAP_PROPERTIES properties = D2D1::BitmapProperties(D2D1::PixelFormat(), 96.0f, 96.0f);
    return renderTarget->CreateBitmapFromWicBitmap(source.Get(), &properties, &bitmap);
}

ID2D1Bitmap *Image::getBitmap()
{
    return bitmap.Get();
}

void Image::releaseDeviceResource()
{
    bitmap.Reset();
}

namespace {

HRESULT prepareSource(IWICImagingFactory *factory, IWICBitmapDecoder *decoder, Image &image)
{
    ComPtr<IWICBitmapFrameDecode> frame;
    HRESULT result = decoder->GetFrame(0, &frame);
    if (FAILED(result)) {
        return result;
    }
    UINT contextCount = 0;
    result = frame->GetColorContexts(0, nullptr, &contextCount);
    if (FAILED(result)) {
        return result;
    }
    ComPtr<IWICBitmapSource> converterInput = frame;
    if (contextCount > 0) {
        if (const auto monitorProfile = monitorProfilePath()) {
            ComPtr<IWICColorContext> monitorContext;
            ComPtr<IWICColorContext> imageContext;
            ComPtr<IWICColorTransform> transform;
            IWICColorContext *imageContextRaw = nullptr;
            if (FAILED(result = factory->CreateColorContext(&monitorContext)) ||
                FAILED(result = monitorContext->InitializeFromFilename(monitorProfile->c_str())) ||
                FAILED(result = factory->CreateColorContext(&imageContext))) {
                return result;
            }
            imageContextRaw = imageContext.Get();
            UINT read = 0;
            if (FAILED(result = frame->GetColorContexts(1, &imageContextRaw, &read)) ||
                FAILED(result = factory->CreateColorTransformer(&transform)) ||
                FAILED(result = transform->Initialize(frame.Get(), imageContext.Get(), monitorContext.Get(),
                                                      GUID_WICPixelFormat32bppBGRA))) {
                return result;
            }
            converterInput = transform;
        }
    }
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(result = factory->CreateFormatConverter(&converter)) ||
        FAILED(result = converter->Initialize(converterInput.Get(), GUID_WICPixelFormat32bppPBGRA,
                                              WICBitmapDitherTypeNone, nullptr, 0.0, WICBitmapPaletteTypeCustom))) {
        return result;
    }
    image.source = converter;
    return S_OK;
}

} // namespace

HRESULT decodeImage(IWICImagingFactory *factory, std::string_view bytes, Image &image)
{
    if (factory == nullptr || bytes.empty()) {
        return E_FAIL;
    }
    ComPtr<IWICStream> stream;
    HRESULT result = factory->CreateStream(&stream);
    if (FAILED(result)) {
        return result;
    }
    result = stream->InitializeFromMemory(reinterpret_cast<BYTE *>(const_cast<char *>(bytes.data())),
                                          static_cast<DWORD>(bytes.size()));
    if (FAILED(result)) {
        return result;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    result = factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnLoad, &decoder);
    if (FAILED(result)) {
        return result;
    }
    return prepareSource(factory, decoder.Get(), image);
}

HRESULT loadImageBytes(IWICImagingFactory *factory, std::string_view bytes, ID2D1RenderTarget *renderTarget,
                       Image &image)
{
    HRESULT result = decodeImage(factory, bytes, image);
    if (FAILED(result)) {
        return result;
    }
    result = image.createDeviceResource(renderTarget);
    image.source.Reset();
    return result;
}

} // namespace framework::resources
