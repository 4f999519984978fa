#include "framework/accessibility/WindowAccessible.h"

#include "framework/accessibility/accessibleFacts.h"
#include "framework/windows/Direct2dWindow.h"

#include <string>
#include <vector>

namespace framework::accessibility {

using controls::Item;

namespace {

// What a child VARIANT names: null for the client area itself.
struct Target {
    HRESULT result = S_OK;
    Item *item = nullptr;
};

Target resolve(const windows::Direct2dWindow *window, const VARIANT &child)
{
    if (window == nullptr) {
        return {CO_E_OBJNOTCONNECTED, nullptr};
    }
    if (child.vt != VT_I4) {
        return {E_INVALIDARG, nullptr};
    }
    if (child.lVal == CHILDID_SELF) {
        return {S_OK, nullptr};
    }
    const std::vector<Item *> items = window->accessibleItems();
    if (child.lVal < 1 || static_cast<size_t>(child.lVal) > items.size()) {
        return {E_INVALIDARG, nullptr};
    }
    return {S_OK, items[static_cast<size_t>(child.lVal) - 1]};
}

// The caller frees the string (SysFreeString), as MSAA requires.
HRESULT giveString(const std::wstring &text, BSTR *out)
{
    *out = nullptr;
    if (text.empty()) {
        return S_FALSE;
    }
    *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

void setChildId(VARIANT *out, LONG id)
{
    out->vt = VT_I4;
    out->lVal = id;
}

bool windowHasFocus(const windows::Direct2dWindow &window)
{
    return ::GetFocus() == window.handle();
}

POINT windowOrigin(const windows::Direct2dWindow &window)
{
    RECT rect = {};
    ::GetWindowRect(window.handle(), &rect);
    return {rect.left, rect.top};
}

// The answer about one child, for the methods a client calls with a child id:
// a child that is not there fails as MSAA says, and nothing thrown reaches the
// client.
template <typename Answer>
HRESULT answerFor(const windows::Direct2dWindow *window, const VARIANT &child, Answer &&answer) noexcept
{
    try {
        const Target target = resolve(window, child);
        if (FAILED(target.result)) {
            return target.result;
        }
        return answer(target);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

} // namespace

WindowAccessible::WindowAccessible(windows::Direct2dWindow *window) noexcept : window_(window)
{
}

HRESULT WindowAccessible::QueryInterface(REFIID riid, void **object) noexcept
{
    if (object == nullptr) {
        return E_POINTER;
    }
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == kIidAccessible) {
        *object = static_cast<IAccessible *>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG WindowAccessible::AddRef() noexcept
{
    return ++references_;
}

ULONG WindowAccessible::Release() noexcept
{
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT WindowAccessible::GetTypeInfoCount(UINT *count) noexcept
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    return S_OK;
}

HRESULT WindowAccessible::GetTypeInfo(UINT, LCID, ITypeInfo **info) noexcept
{
    if (info != nullptr) {
        *info = nullptr;
    }
    return E_NOTIMPL;
}

HRESULT WindowAccessible::GetIDsOfNames(REFIID, LPOLESTR *, UINT, LCID, DISPID *) noexcept
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS *, VARIANT *, EXCEPINFO *, UINT *) noexcept
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::get_accParent(IDispatch **parent) noexcept
{
    if (parent == nullptr) {
        return E_POINTER;
    }
    *parent = nullptr;
    if (window_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    return ::AccessibleObjectFromWindow(window_->handle(), static_cast<DWORD>(OBJID_WINDOW), IID_IDispatch,
                                        reinterpret_cast<void **>(parent));
}

HRESULT WindowAccessible::get_accChildCount(LONG *count) noexcept
{
    if (count == nullptr) {
        return E_POINTER;
    }
    *count = 0;
    if (window_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    try {
        *count = static_cast<LONG>(window_->accessibleItems().size());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT WindowAccessible::get_accChild(VARIANT child, IDispatch **dispatch) noexcept
{
    if (dispatch == nullptr) {
        return E_POINTER;
    }
    *dispatch = nullptr;
    // Every element is a simple child, reached through this object.
    return answerFor(window_, child, [](const Target &) -> HRESULT { return S_FALSE; });
}

HRESULT WindowAccessible::get_accName(VARIANT child, BSTR *name) noexcept
{
    if (name == nullptr) {
        return E_POINTER;
    }
    *name = nullptr;
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        return giveString(target.item != nullptr ? target.item->accessibleName() : window_->getTitle(), name);
    });
}

HRESULT WindowAccessible::get_accValue(VARIANT child, BSTR *value) noexcept
{
    if (value == nullptr) {
        return E_POINTER;
    }
    *value = nullptr;
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        if (target.item == nullptr) {
            return DISP_E_MEMBERNOTFOUND;
        }
        return giveString(target.item->accessibleValue(), value);
    });
}

HRESULT WindowAccessible::get_accDescription(VARIANT, BSTR *description) noexcept
{
    if (description == nullptr) {
        return E_POINTER;
    }
    *description = nullptr;
    return window_ == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}

HRESULT WindowAccessible::get_accRole(VARIANT child, VARIANT *role) noexcept
{
    if (role == nullptr) {
        return E_POINTER;
    }
    role->vt = VT_EMPTY;
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        setChildId(role, target.item != nullptr ? msaaRole(target.item->accessibleRole())
                                                : (window_->isDialog() ? ROLE_SYSTEM_DIALOG : ROLE_SYSTEM_CLIENT));
        return S_OK;
    });
}

HRESULT WindowAccessible::get_accState(VARIANT child, VARIANT *state) noexcept
{
    if (state == nullptr) {
        return E_POINTER;
    }
    state->vt = VT_EMPTY;
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        const bool hasFocus = windowHasFocus(*window_);
        if (target.item == nullptr) {
            LONG own = STATE_SYSTEM_FOCUSABLE;
            if (hasFocus && window_->focusedItem() == nullptr) {
                own |= STATE_SYSTEM_FOCUSED;
            }
            setChildId(state, own);
            return S_OK;
        }
        const Item &item = *target.item;
        setChildId(state, msaaState({item.accessibleRole(), item.interactive, item.actionable(),
                                     hasFocus && window_->focusedItem() == &item, item.accessibleChecked()}));
        return S_OK;
    });
}

HRESULT WindowAccessible::get_accHelp(VARIANT, BSTR *help) noexcept
{
    if (help == nullptr) {
        return E_POINTER;
    }
    *help = nullptr;
    return window_ == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}

HRESULT WindowAccessible::get_accHelpTopic(BSTR *file, VARIANT, LONG *topic) noexcept
{
    if (file != nullptr) {
        *file = nullptr;
    }
    if (topic != nullptr) {
        *topic = 0;
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT WindowAccessible::get_accKeyboardShortcut(VARIANT, BSTR *shortcut) noexcept
{
    if (shortcut == nullptr) {
        return E_POINTER;
    }
    *shortcut = nullptr;
    return window_ == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}

HRESULT WindowAccessible::get_accFocus(VARIANT *child) noexcept
{
    if (child == nullptr) {
        return E_POINTER;
    }
    child->vt = VT_EMPTY;
    if (window_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    if (!windowHasFocus(*window_)) {
        return S_FALSE;
    }
    try {
        setChildId(child, window_->accessibleChildId(window_->focusedItem()));
    } catch (...) {
        return E_OUTOFMEMORY;
    }
    return S_OK;
}

HRESULT WindowAccessible::get_accSelection(VARIANT *children) noexcept
{
    if (children == nullptr) {
        return E_POINTER;
    }
    children->vt = VT_EMPTY;
    return window_ == nullptr ? CO_E_OBJNOTCONNECTED : S_FALSE;
}

HRESULT WindowAccessible::get_accDefaultAction(VARIANT child, BSTR *action) noexcept
{
    if (action == nullptr) {
        return E_POINTER;
    }
    *action = nullptr;
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        const wchar_t *name = target.item != nullptr && target.item->actionable()
                                  ? defaultActionName(target.item->accessibleRole(), target.item->accessibleChecked())
                                  : nullptr;
        return name != nullptr ? giveString(name, action) : S_FALSE;
    });
}

HRESULT WindowAccessible::accSelect(LONG flags, VARIANT child) noexcept
{
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        if (flags != SELFLAG_TAKEFOCUS) {
            return DISP_E_MEMBERNOTFOUND;
        }
        if (target.item != nullptr && !target.item->actionable()) {
            return E_INVALIDARG;
        }
        ::SetFocus(window_->handle());
        window_->setFocusedItem(target.item);
        return S_OK;
    });
}

HRESULT WindowAccessible::accLocation(LONG *left, LONG *top, LONG *width, LONG *height, VARIANT child) noexcept
{
    if (left == nullptr || top == nullptr || width == nullptr || height == nullptr) {
        return E_POINTER;
    }
    *left = *top = *width = *height = 0;
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        if (target.item == nullptr) {
            RECT rect = {};
            ::GetWindowRect(window_->handle(), &rect);
            *left = rect.left;
            *top = rect.top;
            *width = rect.right - rect.left;
            *height = rect.bottom - rect.top;
            return S_OK;
        }
        const ScreenRect rect =
            screenRect(*target.item, window_->getScaleX(), window_->getScaleY(), windowOrigin(*window_));
        *left = rect.left;
        *top = rect.top;
        *width = rect.width;
        *height = rect.height;
        return S_OK;
    });
}

HRESULT WindowAccessible::accNavigate(LONG direction, VARIANT start, VARIANT *end) noexcept
{
    if (end == nullptr) {
        return E_POINTER;
    }
    end->vt = VT_EMPTY;
    // Only that the start is a child counts: navigation goes by position.
    return answerFor(window_, start, [&](const Target &) -> HRESULT {
        const auto count = static_cast<LONG>(window_->accessibleItems().size());
        const std::optional<LONG> reached = navigate(start.lVal, direction, count);
        if (!reached) {
            return S_FALSE;
        }
        setChildId(end, *reached);
        return S_OK;
    });
}

HRESULT WindowAccessible::accHitTest(LONG left, LONG top, VARIANT *child) noexcept
{
    if (child == nullptr) {
        return E_POINTER;
    }
    child->vt = VT_EMPTY;
    if (window_ == nullptr) {
        return CO_E_OBJNOTCONNECTED;
    }
    try {
        RECT rect = {};
        ::GetWindowRect(window_->handle(), &rect);
        const POINT point = {left, top};
        if (!::PtInRect(&rect, point)) {
            return S_FALSE;
        }
        const float x = static_cast<float>(left - rect.left) / window_->getScaleX();
        const float y = static_cast<float>(top - rect.top) / window_->getScaleY();
        const std::vector<Item *> items = window_->accessibleItems();
        LONG found = CHILDID_SELF;
        // The last one drawn is the one on top.
        for (size_t i = 0; i < items.size(); ++i) {
            if (items[i]->contains(x, y)) {
                found = static_cast<LONG>(i + 1);
            }
        }
        setChildId(child, found);
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT WindowAccessible::accDoDefaultAction(VARIANT child) noexcept
{
    return answerFor(window_, child, [&](const Target &target) -> HRESULT {
        if (target.item == nullptr || !target.item->actionable()) {
            return DISP_E_MEMBERNOTFOUND;
        }
        window_->postActivation(target.item);
        return S_OK;
    });
}

HRESULT WindowAccessible::put_accName(VARIANT, BSTR) noexcept
{
    return E_NOTIMPL;
}

HRESULT WindowAccessible::put_accValue(VARIANT, BSTR) noexcept
{
    return E_NOTIMPL;
}

} // namespace framework::accessibility
