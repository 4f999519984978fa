#include "frameworkTestSupport.h"

#include "app/Application.h"
#include "framework/resources/pictureSource.h"

#include <wincodec.h>
#include <wrl/client.h>

#include <map>

using Microsoft::WRL::ComPtr;

namespace frameworktest {

namespace {

IWICImagingFactory *wic()
{
    auto &application = app::Application::instance();
    if (application.wicFactory() == nullptr) {
        (void)application.createFactories();
    }
    return application.wicFactory();
}

HRESULT encodeInto(IStream *stream, UINT width, UINT height, const std::vector<uint32_t> &pixels,
                   const GUID &pixelFormat)
{
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    HRESULT result = S_OK;
    if (FAILED(result = wic()->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder)) ||
        FAILED(result = encoder->Initialize(stream, WICBitmapEncoderNoCache)) ||
        FAILED(result = encoder->CreateNewFrame(&frame, nullptr)) || FAILED(result = frame->Initialize(nullptr)) ||
        FAILED(result = frame->SetSize(width, height))) {
        return result;
    }
    WICPixelFormatGUID format = pixelFormat;
    if (FAILED(result = frame->SetPixelFormat(&format))) {
        return result;
    }
    const UINT stride = width * 4;
    if (FAILED(result = frame->WritePixels(height, stride, stride * height,
                                           reinterpret_cast<BYTE *>(const_cast<uint32_t *>(pixels.data())))) ||
        FAILED(result = frame->Commit())) {
        return result;
    }
    return encoder->Commit();
}

void fill(std::vector<uint32_t> &pixels, UINT stride, UINT left, UINT top, UINT width, UINT height, uint32_t rgb)
{
    for (UINT y = top; y < top + height; ++y) {
        for (UINT x = left; x < left + width; ++x) {
            pixels[y * stride + x] = 0xFF000000u | rgb;
        }
    }
}

std::string framePicture(uint32_t edge, uint32_t background)
{
    // 64 x 64, plain but for an 8-pixel edge ring inside the 21/21/16/16
    // slices, so that (20, 20) samples the plain background.
    std::vector<uint32_t> pixels(64 * 64, 0);
    fill(pixels, 64, 0, 0, 64, 64, edge);
    fill(pixels, 64, 8, 8, 64 - 16, 64 - 16, background);
    return encodePng(64, 64, pixels);
}

std::string atlasPicture()
{
    constexpr UINT kWidth = 820;
    constexpr UINT kHeight = 460;
    std::vector<uint32_t> pixels(kWidth * kHeight, 0);
    fill(pixels, kWidth, 109, 153, 26, 20, kMinimizeNormal);
    fill(pixels, kWidth, 436, 153, 26, 20, kMinimizeHover);
    fill(pixels, kWidth, 721, 153, 26, 20, kMinimizePressed);
    fill(pixels, kWidth, 163, 153, 27, 20, kCloseNormal);
    fill(pixels, kWidth, 490, 153, 27, 20, kCloseHover);
    fill(pixels, kWidth, 775, 153, 27, 20, kClosePressed);
    fill(pixels, kWidth, 10, 300, 60, 40, kCellEdge);
    fill(pixels, kWidth, 10, 300, 21, 40, kCellLeft);
    fill(pixels, kWidth, 49, 300, 21, 40, kCellRight);
    fill(pixels, kWidth, 31, 316, 18, 8, kCellCentre);
    return encodePng(kWidth, kHeight, pixels);
}

framework::resources::PictureBytes testPicture(int id)
{
    static std::map<int, std::string> pictures;
    if (pictures.empty()) {
        pictures[101] = atlasPicture();
        pictures[102] = framePicture(kFrameEdgeActive, kPlainBackground);
        pictures[103] = framePicture(kFrameEdgeInactive, kInactiveBackground);
        pictures[104] = framePicture(kFrameEdgeActive, kBoxBackground);
        pictures[105] = framePicture(kFrameEdgeInactive, kBoxBackground);
    }
    const auto found = pictures.find(id);
    if (found == pictures.end()) {
        return {};
    }
    auto bytes = win32lib::encryption::makeSecureShared<win32lib::encryption::SecureString>();
    bytes->assign(found->second.data(), found->second.size());
    return bytes;
}

} // namespace

std::string encodePng(UINT width, UINT height, const std::vector<uint32_t> &pixels)
{
    ComPtr<IStream> stream;
    if (FAILED(::CreateStreamOnHGlobal(nullptr, TRUE, &stream)) ||
        FAILED(encodeInto(stream.Get(), width, height, pixels, GUID_WICPixelFormat32bppBGRA))) {
        return {};
    }
    ULARGE_INTEGER size = {};
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_CUR, &size);
    stream->Seek(LARGE_INTEGER{}, STREAM_SEEK_SET, nullptr);
    std::string bytes(static_cast<size_t>(size.QuadPart), '\0');
    ULONG read = 0;
    stream->Read(bytes.data(), static_cast<ULONG>(bytes.size()), &read);
    bytes.resize(read);
    return bytes;
}

HRESULT savePng(const std::wstring &path, UINT width, UINT height, const std::vector<uint32_t> &pixels)
{
    ComPtr<IWICStream> stream;
    HRESULT result = S_OK;
    if (FAILED(result = wic()->CreateStream(&stream)) ||
        FAILED(result = stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE))) {
        return result;
    }
    return encodeInto(stream.Get(), width, height, pixels, GUID_WICPixelFormat32bppPBGRA);
}

void pump(DWORD milliseconds)
{
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    do {
        MSG message = {};
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
        ::Sleep(5);
    } while (::GetTickCount64() < end);
}

void useTestPictures()
{
    wic();
    framework::resources::replacePictureLookup(&testPicture);
}

std::vector<uint32_t> surfacePixels(framework::windows::Direct2dWindow &window, UINT width, UINT height)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    IDXGISurface1 *surface = window.getRenderer().getSurface();
    HDC surfaceDc = nullptr;
    if (surface == nullptr || FAILED(surface->GetDC(FALSE, &surfaceDc))) {
        return {};
    }
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = static_cast<LONG>(width);
    info.bmiHeader.biHeight = -static_cast<LONG>(height);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void *bits = nullptr;
    HBITMAP section = ::CreateDIBSection(surfaceDc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memoryDc = ::CreateCompatibleDC(surfaceDc);
    if (section != nullptr && memoryDc != nullptr) {
        HGDIOBJ old = ::SelectObject(memoryDc, section);
        ::BitBlt(memoryDc, 0, 0, static_cast<int>(width), static_cast<int>(height), surfaceDc, 0, 0, SRCCOPY);
        ::GdiFlush();
        memcpy(pixels.data(), bits, pixels.size() * 4);
        ::SelectObject(memoryDc, old);
    }
    if (memoryDc != nullptr) {
        ::DeleteDC(memoryDc);
    }
    if (section != nullptr) {
        ::DeleteObject(section);
    }
    RECT nothingChanged = {};
    surface->ReleaseDC(&nothingChanged);
    return pixels;
}

framework::text::FontDescription testFont()
{
    framework::text::FontDescription font;
    wcscpy_s(font.family, L"DejaVu Sans");
    font.weight = DWRITE_FONT_WEIGHT_NORMAL;
    return font;
}

TestWindow::TestWindow(Direct2dWindow *parent, unsigned width, unsigned height, int activeId, int inactiveId)
    : Direct2dWindow(parent, L"Test window", width, height, activeId, inactiveId)
{
}

HRESULT TestWindow::createContent(intptr_t)
{
    nonClientView = std::make_unique<framework::views::NonClientAreaView>(this, true);
    auto first = std::make_unique<TestPage>(this, 1);
    auto second = std::make_unique<TestPage>(this, 2);
    firstPage = first.get();
    secondPage = second.get();
    views.push_back(std::move(first));
    views.push_back(std::move(second));
    currentView = firstPage;
    return build ? build(*this, *firstPage) : S_OK;
}

void TestWindow::close()
{
    ++closeCalls;
    Direct2dWindow::close();
}

void TestWindow::onEscape()
{
    ++escapes;
}

MessageSink::MessageSink() : Direct2dWindow(nullptr, L"", 767, 444, 102, 103)
{
    hwnd = ::CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 767, 444, HWND_MESSAGE, nullptr, nullptr, nullptr);
}

int MessageSink::take(UINT message)
{
    return static_cast<int>(takeAll(message).size());
}

std::vector<MSG> MessageSink::takeAll(UINT message)
{
    std::vector<MSG> taken;
    MSG queued = {};
    while (::PeekMessageW(&queued, hwnd, message, message, PM_REMOVE)) {
        taken.push_back(queued);
    }
    return taken;
}

} // namespace frameworktest
