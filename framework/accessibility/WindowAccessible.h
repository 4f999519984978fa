#pragma once

#include <windows.h>

#include <oleacc.h>

namespace framework::windows {
class Direct2dWindow;
}

namespace framework::accessibility {

// IID_IAccessible, defined here: with MinGW-w64, linking oleacc together with
// uuid resolves the SDK's symbol to an import thunk, and LresultFromObject
// then fails with E_NOINTERFACE.
inline constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

// The client area of a Direct2dWindow as MSAA sees it: the window's
// accessible elements as simple children (child ids 1..n in reading order).
// Lives on the window's (STA) thread; calls after the window went fail with
// CO_E_OBJNOTCONNECTED.
class WindowAccessible final : public IAccessible {
public:
    explicit WindowAccessible(windows::Direct2dWindow *window) noexcept;
    WindowAccessible(const WindowAccessible &) = delete;
    WindowAccessible &operator=(const WindowAccessible &) = delete;

    void disconnect() noexcept { window_ = nullptr; }

    // IUnknown
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void **object) noexcept override;
    ULONG STDMETHODCALLTYPE AddRef() noexcept override;
    ULONG STDMETHODCALLTYPE Release() noexcept override;

    // IDispatch: not offered; clients use the IAccessible methods.
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT *count) noexcept override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo **info) noexcept override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) noexcept override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *,
                                     UINT *) noexcept override;

    // IAccessible
    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch **parent) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(LONG *count) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch **dispatch) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR *name) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR *value) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR *description) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT *role) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT *state) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR *help) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR *file, VARIANT child, LONG *topic) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR *shortcut) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT *child) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT *children) noexcept override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR *action) noexcept override;
    HRESULT STDMETHODCALLTYPE accSelect(LONG flags, VARIANT child) noexcept override;
    HRESULT STDMETHODCALLTYPE accLocation(LONG *left, LONG *top, LONG *width, LONG *height,
                                          VARIANT child) noexcept override;
    HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT *end) noexcept override;
    HRESULT STDMETHODCALLTYPE accHitTest(LONG left, LONG top, VARIANT *child) noexcept override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) noexcept override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) noexcept override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) noexcept override;

private:
    ~WindowAccessible() = default;

    ULONG references_ = 1;
    windows::Direct2dWindow *window_;
};

} // namespace framework::accessibility
