#include "framework/windows/Direct2dWindow.h"

#include "framework/accessibility/WindowAccessible.h"
#include "framework/base/CoreApplication.h"
#include "framework/base/highContrast.h"
#include "framework/controls/focusOrder.h"
#include "framework/pictures/BorderSprite.h"
#include "framework/resources/pictureSource.h"
#include "framework/windows/messages.h"
#include "framework/windows/placement.h"
#include "win32lib/UniqueResource.h"

#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <optional>
#include <new>

namespace framework::windows {

using framework::controls::Item;
using framework::controls::MouseEvent;
using framework::windows::kMsgRedraw;
using framework::windows::kMsgSetCursor;
using framework::windows::kMsgShowView;
using framework::windows::kMsgViewData;
using framework::windows::PageData;

namespace {

// Frame pictures are nine-sliced with these borders (picture pixels).
constexpr framework::pictures::BorderWidths kFrameBorders{21, 21, 16, 16};
// Where the first frame is sampled for the plain background colour.
constexpr int kBackgroundSampleX = 20;
constexpr int kBackgroundSampleY = 20;
// The system buttons sit this much further left and lower on the inactive frame.
constexpr float kInactiveShiftX = -2.0f;
constexpr float kInactiveShiftY = 6.0f;
// The focus ring: 2 DIPs wide, 1 DIP outside the element, white on the
// dark frame (far above the 3:1 a focus indicator needs).
constexpr float kFocusRingWidth = 2.0f;
constexpr float kFocusRingGap = 1.0f;
constexpr D2D1_COLOR_F kFocusRingColour = {1.0f, 1.0f, 1.0f, 1.0f};

template <typename Wanted>
void collectItems(const framework::layouts::Layout &layout, Wanted wanted, std::vector<Item *> &items)
{
    for (const auto &child : layout.children) {
        if (!child->visible) {
            continue;
        }
        if (child->kind == framework::controls::kKindLayout) {
            if (const auto *nested = dynamic_cast<const framework::layouts::Layout *>(child.get())) {
                collectItems(*nested, wanted, items);
            }
        } else if (wanted(*child)) {
            items.push_back(child.get());
        }
    }
}

std::vector<Item *> inReadingOrder(const std::vector<Item *> &items)
{
    std::vector<framework::controls::Bounds> bounds;
    bounds.reserve(items.size());
    for (const Item *item : items) {
        bounds.push_back({item->x, item->y, item->width, item->height});
    }
    std::vector<Item *> ordered;
    ordered.reserve(items.size());
    for (const size_t index : framework::controls::readingOrder(bounds)) {
        ordered.push_back(items[index]);
    }
    return ordered;
}

// Progress updates ask for whole-window redraws faster than a frame is drawn
// (a frame costs tens of milliseconds with software rendering under Wine).
// Left queued, hundreds of identical frames would hold back the messages
// posted after them, such as the change to the finish page. A whole-window
// drawing shows the current state, so it answers every request queued so far.
void discardQueuedRedraws(HWND hwnd) noexcept
{
    MSG queued;
    while (::PeekMessageW(&queued, hwnd, kMsgRedraw, kMsgRedraw, PM_REMOVE | PM_NOYIELD)) {
    }
}

HRESULT lastErrorResult()
{
    const DWORD error = ::GetLastError();
    return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

} // namespace

unsigned pixelsFor(float dips, float scale) noexcept
{
    return static_cast<unsigned>(std::ceil(static_cast<double>(scale) * dips));
}

Direct2dWindow::Direct2dWindow(Direct2dWindow *parent, const wchar_t *title, unsigned width, unsigned height,
                               int activeBackgroundId, int inactiveBackgroundId)
    : width(static_cast<float>(width)), height(static_cast<float>(height)), title(title != nullptr ? title : L""),
      activeBackgroundId(activeBackgroundId), inactiveBackgroundId(inactiveBackgroundId), parent(parent)
{
}

Direct2dWindow::~Direct2dWindow()
{
    if (accessible) {
        accessible->disconnect();
    }
    // The window must not call into a destroyed object.
    if (hwnd != nullptr) {
        ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        ::DestroyWindow(hwnd);
        hwnd = nullptr;
    }
    destroyContent();
    releaseDeviceResources();
    textFactory.Reset();
}

const wchar_t *Direct2dWindow::className() const
{
    return L"Top-Level Window";
}

HRESULT Direct2dWindow::createLaterViews() noexcept
{
    // Taken first: a page being made can ask for another one.
    std::vector<std::function<std::unique_ptr<views::View>()>> makers;
    makers.swap(laterViews);
    try {
        for (const auto &make : makers) {
            views.push_back(make());
            if (FAILED(views.back()->creation)) {
                return views.back()->creation;
            }
        }
    } catch (const std::bad_alloc &) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

views::View *Direct2dWindow::findView(int32_t id) noexcept
{
    for (int attempt = 0; attempt < 2; ++attempt) {
        for (const auto &view : views) {
            if (view->id == id) {
                return view.get();
            }
        }
        if (laterViews.empty() || FAILED(createLaterViews())) {
            break;
        }
    }
    return nullptr;
}

void Direct2dWindow::destroyContent()
{
    laterViews.clear();
    focused = nullptr;
    currentView = nullptr;
    nonClientView.reset();
    for (auto &view : views) {
        view.reset();
    }
    views.clear();
}

HRESULT Direct2dWindow::initialize(intptr_t argument)
{
    const framework::base::CoreApplication *application = framework::base::CoreApplication::current();
    if (application != nullptr && application->GetDpiForMonitor != nullptr &&
        application->SetProcessDpiAwareness != nullptr && application->GetProcessDpiAwareness != nullptr) {
        UINT dpiX = 96;
        UINT dpiY = 96;
        const HMONITOR primary = ::MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
        if (SUCCEEDED(application->GetDpiForMonitor(primary, MDT_EFFECTIVE_DPI, &dpiX, &dpiY))) {
            scaleX = static_cast<float>(dpiX) / 96.0f;
            scaleY = static_cast<float>(dpiY) / 96.0f;
        } else {
            scaleX = scaleY = 1.0f;
        }
    } else {
        HDC screen = ::GetDC(nullptr);
        win32lib::UniqueScreenDc screenOwner(screen);
        if (screen != nullptr) {
            scaleX = static_cast<float>(::GetDeviceCaps(screen, LOGPIXELSX)) / 96.0f;
            scaleY = static_cast<float>(::GetDeviceCaps(screen, LOGPIXELSY)) / 96.0f;
        }
    }
    pixelWidth = pixelsFor(width, scaleX);
    pixelHeight = pixelsFor(height, scaleY);
    highContrast = framework::base::highContrastOn();

    if (preparedDevice != nullptr) {
        preparedDevice->handTo(renderer);
        preparedDevice = nullptr;
    }
    HRESULT result = renderer.createFactory();
    if (FAILED(result) || FAILED(result = renderer.create(pixelWidth, pixelHeight))) {
        return result;
    }
    applyTargetDpi();
    onStartupStep(L"render target");
    if (FAILED(result = loadDeviceResources())) {
        return result;
    }
    onStartupStep(L"pictures");
    if (FAILED(result = createWindow())) {
        return result;
    }
    onStartupStep(L"window created");
    // The application's shared factory has built the system font collection
    // already (choosing the font needs it); a factory of this window's own
    // would build it again before the first frame.
    if (application != nullptr && application->dwriteFactory() != nullptr) {
        textFactory = application->dwriteFactory();
    } else if (FAILED(result =
                          ::DWriteCreateFactory(DWRITE_FACTORY_TYPE_ISOLATED, __uuidof(IDWriteFactory),
                                                reinterpret_cast<IUnknown **>(textFactory.ReleaseAndGetAddressOf())))) {
        return result;
    }
    onStartupStep(L"text factory");
    HRESULT contentResult = E_OUTOFMEMORY;
    try {
        contentResult = createContent(argument);
    } catch (const std::bad_alloc &) {
        // Left as E_OUTOFMEMORY: the window does not open.
    }
    if (SUCCEEDED(contentResult)) {
        contentResult = contentCreation();
    }
    if (FAILED(contentResult)) {
        return contentResult;
    }
    onStartupStep(L"pages");
    if (currentView != nullptr) {
        currentView->show();
        focused = currentView->initialFocus;
    }
    render(nullptr);
    backgroundKey = renderer.pixelAt(kBackgroundSampleX, kBackgroundSampleY);
    return result;
}

HRESULT Direct2dWindow::contentCreation() const noexcept
{
    if (nonClientView && FAILED(nonClientView->creation)) {
        return nonClientView->creation;
    }
    for (const auto &view : views) {
        if (FAILED(view->creation)) {
            return view->creation;
        }
    }
    return S_OK;
}

HRESULT Direct2dWindow::loadImage(framework::resources::Image &image, int id)
{
    const framework::resources::PictureBytes bytes = framework::resources::pictureBytes(id);
    if (!bytes || bytes->empty()) {
        return E_FAIL;
    }
    const framework::base::CoreApplication *application = framework::base::CoreApplication::current();
    return framework::resources::loadImageBytes(application != nullptr ? application->wicFactory() : nullptr,
                                                std::string_view(bytes->data(), bytes->size()),
                                                renderer.getRenderTarget(), image);
}

HRESULT Direct2dWindow::loadDeviceResources()
{
    ID2D1RenderTarget *target = renderer.getRenderTarget();
    if (target == nullptr) {
        return E_POINTER;
    }
    target->SetTextAntialiasMode(D2D1_TEXT_ANTIALIAS_MODE_DEFAULT);
    HRESULT result = S_OK;
    if (FAILED(result = loadImage(activeBackground, activeBackgroundId)) ||
        FAILED(result = loadImage(inactiveBackground, inactiveBackgroundId)) ||
        FAILED(result = loadImage(atlas, kAtlasImageId))) {
        return result;
    }
    return target->CreateSolidColorBrush(D2D1::ColorF(1.0f, 1.0f, 1.0f, 1.0f), brush.ReleaseAndGetAddressOf());
}

void Direct2dWindow::releaseDeviceResources()
{
    activeBackground.releaseDeviceResource();
    inactiveBackground.releaseDeviceResource();
    atlas.releaseDeviceResource();
    brush.Reset();
}

void Direct2dWindow::applyTargetDpi()
{
    if (ID2D1RenderTarget *target = renderer.getRenderTarget()) {
        target->SetDpi(scaleX * 96.0f, scaleY * 96.0f);
    }
}

HRESULT Direct2dWindow::createWindow()
{
    RECT around = {};
    HWND parentHandle = parent != nullptr ? parent->handle() : nullptr;
    if (!::GetWindowRect(parentHandle != nullptr ? parentHandle : ::GetDesktopWindow(), &around)) {
        return lastErrorResult();
    }
    const int left = centredPosition(around.left, around.right - around.left, static_cast<int>(pixelWidth),
                                     ::GetSystemMetrics(SM_CXSCREEN));
    const int top = centredPosition(around.top, around.bottom - around.top, static_cast<int>(pixelHeight),
                                    ::GetSystemMetrics(SM_CYSCREEN));

    HINSTANCE module = ::GetModuleHandleW(nullptr);
    const framework::base::CoreApplication *application = framework::base::CoreApplication::current();
    const int iconResourceId = application != nullptr ? application->iconResourceId() : 0;
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &Direct2dWindow::windowProcedure;
    windowClass.hInstance = module;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hIcon =
        static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconResourceId), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXICON), ::GetSystemMetrics(SM_CYICON), LR_SHARED));
    windowClass.hIconSm =
        static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(iconResourceId), IMAGE_ICON,
                                        ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON), LR_SHARED));
    windowClass.lpszClassName = className();
    if (::RegisterClassExW(&windowClass) == 0) {
        const DWORD error = ::GetLastError();
        if (error != ERROR_CLASS_ALREADY_EXISTS) {
            return error != ERROR_SUCCESS ? HRESULT_FROM_WIN32(error) : E_FAIL;
        }
    }
    HWND created = ::CreateWindowExW(WS_EX_LAYERED, className(), title.c_str(), WS_CAPTION | WS_MINIMIZEBOX, left, top,
                                     static_cast<int>(pixelWidth), static_cast<int>(pixelHeight), parentHandle, nullptr,
                                     module, this);
    if (created == nullptr) {
        return lastErrorResult();
    }
    // Wine keeps a caption inset for a WS_CAPTION window until its frame is
    // recalculated, and real pointer input would then miss what is drawn.
    ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                   SWP_FRAMECHANGED | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    return S_OK;
}

LRESULT CALLBACK Direct2dWindow::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    Direct2dWindow *self = nullptr;
    if (message == WM_NCCREATE) {
        const auto *creation = reinterpret_cast<const CREATESTRUCTW *>(lParam);
        self = static_cast<Direct2dWindow *>(creation->lpCreateParams);
        ::SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
        if (self != nullptr) {
            self->hwnd = window;
        }
    } else {
        self = reinterpret_cast<Direct2dWindow *>(::GetWindowLongPtrW(window, GWLP_USERDATA));
    }
    if (self == nullptr) {
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
    LRESULT result = 0;
    try {
        result = self->handleMessage(message, wParam, lParam);
    } catch (...) {
        result = 0;
    }
    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        self->hwnd = nullptr;
    }
    return result;
}

LRESULT Direct2dWindow::handleMessage(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_CREATE:
        monitor = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL);
        cursor = ::LoadCursorW(nullptr, IDC_ARROW);
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_DESTROY:
        if (accessible) {
            accessible->disconnect();
        }
        onDestroyed();
        return 0;
    case WM_GETOBJECT:
        // lParam is a DWORD object id, whatever the width of LPARAM.
        if (static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
            if (!accessible) {
                accessible.Attach(new (std::nothrow) accessibility::WindowAccessible(this));
            }
            if (accessible) {
                return ::LresultFromObject(accessibility::kIidAccessible, wParam, accessible.Get());
            }
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_ACTIVATE: {
        const WORD state = LOWORD(wParam);
        const bool minimised = HIWORD(wParam) != 0;
        if (state == WA_INACTIVE) {
            active = false;
            onDeactivate();
        } else if (state <= WA_CLICKACTIVE && !(state == WA_ACTIVE && minimised)) {
            active = true;
            onActivate();
            // The default handling gives the window the keyboard focus;
            // without it Escape would arrive as WM_SYSKEYDOWN and never
            // reach onEscape.
            return ::DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return 0;
    }
    case WM_CLOSE:
        close();
        return 0;
    case WM_SETCURSOR: {
        const WORD hitCode = LOWORD(lParam);
        if (hitCode == HTCLIENT || hitCode == HTCAPTION) {
            ::SetCursor(cursor);
            return TRUE;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SETTINGCHANGE:
    case WM_SYSCOLORCHANGE:
    case WM_THEMECHANGED: {
        const bool now = framework::base::highContrastOn();
        if (now != highContrast || (now && message == WM_SYSCOLORCHANGE)) {
            highContrast = now;
            postRedraw();
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
    case WM_WINDOWPOSCHANGED: {
        const HMONITOR now = ::MonitorFromWindow(hwnd, MONITOR_DEFAULTTONULL);
        if (now != monitor) {
            monitor = now;
            onMonitorChanged(now);
        }
        const auto *position = reinterpret_cast<const WINDOWPOS *>(lParam);
        if ((position->flags & SWP_NOSIZE) == 0) {
            onSize(static_cast<UINT>(position->cx), static_cast<UINT>(position->cy));
        }
        return 0;
    }
    case WM_NCCALCSIZE:
        if (wParam == TRUE) {
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_NCHITTEST: {
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ::ScreenToClient(hwnd, &point);
        return hitTest(point.x, point.y) ? HTCLIENT : HTCAPTION;
    }
    case WM_KEYDOWN:
        if (wParam == VK_ESCAPE) {
            onEscape();
            return 0;
        }
        // Bit 30: the key was already down (auto-repeat).
        if (onKey(wParam, (lParam & (LPARAM{1} << 30)) != 0)) {
            return 0;
        }
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    case WM_MOUSEMOVE: {
        if (!mouseTracked) {
            mouseTracked = true;
            TRACKMOUSEEVENT track = {};
            track.cbSize = sizeof(track);
            track.dwFlags = TME_LEAVE;
            track.hwndTrack = hwnd;
            ::TrackMouseEvent(&track);
        }
        // A drag that started outside the window is not ours.
        if ((wParam & MK_LBUTTON) == 0 || ::GetCapture() != nullptr) {
            onMouseMove(wParam, static_cast<float>(GET_X_LPARAM(lParam)) / scaleX,
                        static_cast<float>(GET_Y_LPARAM(lParam)) / scaleY);
        }
        return 0;
    }
    case WM_LBUTTONDOWN:
        leftButtonDown = true;
        ::SetCapture(hwnd);
        onMouseDown(wParam, static_cast<float>(GET_X_LPARAM(lParam)) / scaleX,
                    static_cast<float>(GET_Y_LPARAM(lParam)) / scaleY);
        return 0;
    case WM_LBUTTONUP:
        leftButtonDown = false;
        ::ReleaseCapture();
        onMouseUp(wParam, static_cast<float>(GET_X_LPARAM(lParam)) / scaleX,
                  static_cast<float>(GET_Y_LPARAM(lParam)) / scaleY);
        return 0;
    case WM_CAPTURECHANGED:
        if (leftButtonDown) {
            onCaptureLost();
        }
        return 0;
    case WM_MOUSELEAVE:
        mouseTracked = false;
        onMouseLeave();
        return 0;
    case WM_DPICHANGED:
        scaleX = static_cast<float>(LOWORD(wParam)) / 96.0f;
        scaleY = static_cast<float>(HIWORD(wParam)) / 96.0f;
        onDpiChanged(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<const RECT *>(lParam));
        return 0;
    case kMsgShowView:
        showView(static_cast<int32_t>(wParam));
        return 0;
    case kMsgViewData:
        deliverViewData(static_cast<int32_t>(wParam), reinterpret_cast<PageData *>(lParam));
        return framework::windows::kViewDataTaken;
    case kMsgRedraw:
        if (lParam == 0) {
            discardQueuedRedraws(hwnd);
        }
        render(reinterpret_cast<controls::Item *>(lParam));
        return 0;
    case kMsgSetCursor:
        cursor = reinterpret_cast<HCURSOR>(wParam);
        return 0;
    case framework::windows::kMsgActivateItem: {
        auto *item = reinterpret_cast<Item *>(lParam);
        const std::vector<Item *> items = accessibleItems();
        if (std::find(items.begin(), items.end(), item) != items.end() && item->actionable()) {
            item->activate();
            onActivated(item);
            postRedraw();
        }
        return 0;
    }
    default:
        return ::DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

HRESULT Direct2dWindow::render(controls::Item *item)
{
    ID2D1RenderTarget *target = renderer.getRenderTarget();
    ID2D1GdiInteropRenderTarget *interop = renderer.getGdiInterop();
    if (target == nullptr || interop == nullptr) {
        return E_POINTER;
    }
    target->BeginDraw();
    target->SetTransform(D2D1::Matrix3x2F::Identity());
    ID2D1Bitmap *atlasBitmap = atlas.getBitmap();
    if (highContrast) {
        // One element alone would be drawn in its pictures: always the whole.
        drawHighContrast(target);
    } else if (item == nullptr) {
        target->Clear(D2D1::ColorF(0.0f, 0.0f, 0.0f, 0.0f));
        auto &frame = (active || firstActivationPending) ? activeBackground : inactiveBackground;
        if (ID2D1Bitmap *frameBitmap = frame.getBitmap()) {
            const D2D1_SIZE_U size = frameBitmap->GetPixelSize();
            framework::pictures::drawNineSlice(
                target, frameBitmap, {0.0f, 0.0f, static_cast<float>(size.width), static_cast<float>(size.height)},
                {0.0f, 0.0f, width, height}, kFrameBorders);
        }
        if (nonClientView) {
            nonClientView->drawComposite(target, brush.Get(), atlasBitmap);
        }
        if (currentView != nullptr) {
            currentView->drawComposite(target, brush.Get(), atlasBitmap);
        }
        if (focusCues && focused != nullptr && focused->visible) {
            drawFocusRing(target);
        }
    } else {
        item->drawComposite(target, brush.Get(), atlasBitmap);
    }

    HDC surfaceDc = nullptr;
    if (hwnd != nullptr && SUCCEEDED(interop->GetDC(D2D1_DC_INITIALIZE_MODE_COPY, &surfaceDc))) {
        SIZE size{static_cast<LONG>(pixelWidth), static_cast<LONG>(pixelHeight)};
        POINT sourcePoint{0, 0};
        BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
        UPDATELAYEREDWINDOWINFO info = {};
        info.cbSize = sizeof(info);
        info.psize = &size;
        info.hdcSrc = surfaceDc;
        info.pptSrc = &sourcePoint;
        info.pblend = &blend;
        info.dwFlags = ULW_ALPHA;
        ::UpdateLayeredWindowIndirect(hwnd, &info);
        RECT nothingChanged = {};
        interop->ReleaseDC(&nothingChanged);
    }

    const HRESULT result = target->EndDraw();
    if (result == static_cast<HRESULT>(D2DERR_RECREATE_TARGET)) {
        // The next redraw request paints on the new device.
        return recoverDevice();
    }
    return result;
}

HRESULT Direct2dWindow::recoverDevice()
{
    releaseDeviceResources();
    const HRESULT result = renderer.recreate();
    if (FAILED(result)) {
        return result;
    }
    applyTargetDpi();
    return loadDeviceResources();
}

HRESULT Direct2dWindow::onSize(UINT newPixelWidth, UINT newPixelHeight)
{
    const float newWidth = static_cast<float>(newPixelWidth) / scaleX;
    const float newHeight = static_cast<float>(newPixelHeight) / scaleY;
    if (nonClientView) {
        nonClientView->setSize(newWidth, newHeight);
    }
    if (currentView != nullptr) {
        currentView->setSize(newWidth, newHeight);
    }
    pixelWidth = newPixelWidth;
    pixelHeight = newPixelHeight;
    width = newWidth;
    height = newHeight;
    const HRESULT fitted = renderer.fit(newPixelWidth, newPixelHeight);
    if (FAILED(fitted)) {
        return fitted;
    }
    if (fitted == S_OK) {
        applyTargetDpi();
    }
    return render(nullptr);
}

HRESULT Direct2dWindow::onDpiChanged(UINT, UINT, const RECT *suggestedRect)
{
    applyTargetDpi();
    if (suggestedRect == nullptr) {
        return E_POINTER;
    }
    // The resulting WM_WINDOWPOSCHANGED resizes and redraws.
    if (!::SetWindowPos(hwnd, nullptr, suggestedRect->left, suggestedRect->top,
                        suggestedRect->right - suggestedRect->left, suggestedRect->bottom - suggestedRect->top,
                        SWP_NOACTIVATE | SWP_NOZORDER)) {
        return lastErrorResult();
    }
    return S_OK;
}

HRESULT Direct2dWindow::onMonitorChanged(HMONITOR newMonitor)
{
    if (!textFactory) {
        return E_POINTER;
    }
    Microsoft::WRL::ComPtr<IDWriteRenderingParams> parameters;
    const HRESULT result = textFactory->CreateMonitorRenderingParams(newMonitor, &parameters);
    if (FAILED(result)) {
        return result;
    }
    if (ID2D1RenderTarget *target = renderer.getRenderTarget()) {
        target->SetTextRenderingParams(parameters.Get());
    }
    parameters.Reset();
    return render(nullptr);
}

void Direct2dWindow::onMouseMove(WPARAM keyFlags, float x, float y)
{
    const controls::MouseEvent event{x, y, static_cast<int64_t>(keyFlags), static_cast<int64_t>(keyFlags)};
    if (nonClientView) {
        nonClientView->mouseMove(event);
    }
    if (currentView != nullptr) {
        currentView->mouseMove(event);
    }
}

void Direct2dWindow::onMouseDown(WPARAM keyFlags, float x, float y)
{
    const controls::MouseEvent event{x, y, 1, static_cast<int64_t>(keyFlags)};
    if (nonClientView) {
        nonClientView->mouseDown(event);
    }
    if (currentView != nullptr) {
        currentView->mouseDown(event);
    }
}

void Direct2dWindow::onMouseUp(WPARAM keyFlags, float x, float y)
{
    const controls::MouseEvent event{x, y, 1, static_cast<int64_t>(keyFlags)};
    if (nonClientView) {
        nonClientView->mouseUp(event);
    }
    if (currentView != nullptr) {
        currentView->mouseUp(event);
    }
}

void Direct2dWindow::onMouseLeave()
{
    if (nonClientView) {
        nonClientView->cancelHover();
    }
    if (currentView != nullptr) {
        currentView->cancelHover();
    }
}

void Direct2dWindow::onCaptureLost()
{
    onMouseLeave();
    if (nonClientView) {
        nonClientView->cancelPress();
    }
    if (currentView != nullptr) {
        currentView->cancelPress();
    }
}

void Direct2dWindow::showView(int32_t id)
{
    if (currentView != nullptr) {
        currentView->cancelHover();
    }
    if (views::View *view = findView(id)) {
        if (currentView != nullptr) {
            currentView->hide();
        }
        currentView = view;
        currentView->show();
        focused = currentView->initialFocus;
        announcePage();
        onFocusChanged(focused);
    }
    render(nullptr);
}

void Direct2dWindow::deliverViewData(int32_t id, PageData *payload)
{
    const std::unique_ptr<PageData> owned(payload);
    if (views::View *view = findView(id)) {
        view->receiveData(owned.get());
    }
}

bool Direct2dWindow::hitTest(int pixelX, int pixelY)
{
    const COLORREF colour = renderer.pixelAt(pixelX, pixelY);
    const bool background = colour == backgroundKey || colour == kDragBackgroundColour ||
                            (highContrast && colour == ::GetSysColor(COLOR_WINDOW));
    // Outside the surface: client area, even if the key could not be sampled.
    if (colour == CLR_INVALID || !background) {
        return true;
    }
    const float x = static_cast<float>(pixelX) / scaleX;
    const float y = static_cast<float>(pixelY) / scaleY;
    return (nonClientView && nonClientView->hitTest(x, y)) || (currentView != nullptr && currentView->hitTest(x, y));
}

void Direct2dWindow::postRedraw()
{
    if (hwnd != nullptr) {
        ::PostMessageW(hwnd, kMsgRedraw, 0, 0);
    }
}

void Direct2dWindow::onActivate()
{
    if (firstActivationPending) {
        firstActivationPending = false;
        return;
    }
    if (nonClientView) {
        nonClientView->moveBy(-kInactiveShiftX, -kInactiveShiftY);
    }
    postRedraw();
}

void Direct2dWindow::onDeactivate()
{
    if (nonClientView) {
        nonClientView->moveBy(kInactiveShiftX, kInactiveShiftY);
    }
    postRedraw();
}

std::vector<Item *> Direct2dWindow::actionableItems() const
{
    const auto isActionable = [](const Item &item) { return item.actionable(); };
    std::vector<Item *> items;
    if (nonClientView) {
        collectItems(*nonClientView, isActionable, items);
    }
    if (currentView != nullptr) {
        collectItems(*currentView, isActionable, items);
    }
    return inReadingOrder(items);
}

std::vector<Item *> Direct2dWindow::accessibleItems() const
{
    const auto isRead = [](const Item &item) { return item.accessibleRole() != controls::AccessibleRole::kNone; };
    std::vector<Item *> items;
    if (nonClientView) {
        collectItems(*nonClientView, isRead, items);
    }
    if (currentView != nullptr) {
        collectItems(*currentView, isRead, items);
    }
    return inReadingOrder(items);
}

LONG Direct2dWindow::accessibleChildId(const Item *item) const
{
    if (item == nullptr) {
        return CHILDID_SELF;
    }
    const std::vector<Item *> items = accessibleItems();
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i] == item) {
            return static_cast<LONG>(i + 1);
        }
    }
    return CHILDID_SELF;
}

void Direct2dWindow::notifyAccessible(DWORD event, const Item *item) const
{
    if (hwnd != nullptr) {
        ::NotifyWinEvent(event, hwnd, OBJID_CLIENT, accessibleChildId(item));
    }
}

void Direct2dWindow::postActivation(Item *item) const
{
    if (hwnd != nullptr) {
        ::PostMessageW(hwnd, framework::windows::kMsgActivateItem, 0, reinterpret_cast<LPARAM>(item));
    }
}

void Direct2dWindow::announcePage()
{
    notifyAccessible(EVENT_OBJECT_REORDER, nullptr);
    if (currentView != nullptr && currentView->title != nullptr) {
        notifyAccessible(currentView->alert ? EVENT_SYSTEM_ALERT : EVENT_OBJECT_SHOW, currentView->title);
    }
}

void Direct2dWindow::setFocusedItem(Item *item)
{
    if (item == focused) {
        return;
    }
    focused = item;
    onFocusChanged(item);
    if (focusCues) {
        render(nullptr);
    }
}

bool Direct2dWindow::onKey(WPARAM key, bool repeated)
{
    switch (key) {
    case VK_TAB: {
        focusCues = true;
        const std::vector<Item *> items = actionableItems();
        std::optional<size_t> current;
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i] == focused) {
                current = i;
            }
        }
        const bool backwards = (::GetKeyState(VK_SHIFT) & 0x8000) != 0;
        const std::optional<size_t> next = controls::stepFocus(items.size(), current, backwards);
        Item *target = next ? items[*next] : nullptr;
        if (target != focused) {
            focused = target;
            onFocusChanged(target);
        }
        render(nullptr);
        return true;
    }
    case VK_RETURN:
    case VK_SPACE: {
        if (repeated) {
            return true;
        }
        const bool cuesWereShown = focusCues;
        focusCues = true;
        Item *item = focused;
        if (item == nullptr || !item->actionable()) {
            if (!cuesWereShown) {
                render(nullptr);
            }
            return true;
        }
        // A click may open a message box or change the page: what was
        // focused is not used after it, and the whole window is redrawn.
        item->activate();
        onActivated(item);
        postRedraw();
        return true;
    }
    default:
        return false;
    }
}

void Direct2dWindow::drawHighContrast(ID2D1RenderTarget *target)
{
    if (!brush) {
        return;
    }
    const framework::base::SystemColours colours = framework::base::systemColours();
    target->Clear(colours.window);
    brush->SetColor(colours.windowText);
    target->DrawRectangle(D2D1::RectF(0.5f, 0.5f, width - 0.5f, height - 0.5f), brush.Get(), 1.0f);
    for (Item *item : accessibleItems()) {
        item->drawHighContrast(target, brush.Get(), colours);
    }
    if (focusCues && focused != nullptr && focused->visible) {
        drawFocusRing(target);
    }
}

void Direct2dWindow::drawFocusRing(ID2D1RenderTarget *target)
{
    if (!brush) {
        return;
    }
    const D2D1_COLOR_F previous = brush->GetColor();
    brush->SetColor(highContrast ? framework::base::systemColours().highlight : kFocusRingColour);
    // Whole pixels: a blended ring would lose its contrast.
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_ALIASED);
    const float outset = kFocusRingGap + kFocusRingWidth / 2.0f;
    target->DrawRectangle(D2D1::RectF(focused->x - outset, focused->y - outset, focused->x + focused->width + outset,
                                      focused->y + focused->height + outset),
                          brush.Get(), kFocusRingWidth);
    target->SetAntialiasMode(D2D1_ANTIALIAS_MODE_PER_PRIMITIVE);
    brush->SetColor(previous);
}

void Direct2dWindow::onFocusChanged(Item *item)
{
    if (item != nullptr && ::GetFocus() == hwnd) {
        notifyAccessible(EVENT_OBJECT_FOCUS, item);
    }
}

void Direct2dWindow::onActivated(Item *item)
{
    if (item->accessibleChecked()) {
        notifyAccessible(EVENT_OBJECT_STATECHANGE, item);
    }
}

void Direct2dWindow::close()
{
    ::DestroyWindow(hwnd);
}

void Direct2dWindow::onDestroyed()
{
}

void Direct2dWindow::onEscape()
{
}

} // namespace framework::windows
