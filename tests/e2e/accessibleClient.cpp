#include "tests/e2e/accessibleClient.h"

#include "win32lib/UniqueResource.h"

namespace e2e {

namespace {

// Defined here: with MinGW-w64 the SDK's symbol resolves to an import thunk
// and the call fails with E_NOINTERFACE.
constexpr GUID kIidAccessible = {0x618736e0, 0x3c3d, 0x11cf, {0x81, 0x0c, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};

} // namespace

VARIANT child(LONG id)
{
    VARIANT variant;
    ::VariantInit(&variant);
    variant.vt = VT_I4;
    variant.lVal = id;
    return variant;
}

Microsoft::WRL::ComPtr<IAccessible> clientObject(HWND window)
{
    Microsoft::WRL::ComPtr<IAccessible> object;
    if (FAILED(::AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), kIidAccessible,
                                            reinterpret_cast<void **>(object.GetAddressOf())))) {
        return nullptr;
    }
    return object;
}

std::vector<LONG> childIds(IAccessible *object)
{
    LONG count = 0;
    if (FAILED(object->get_accChildCount(&count)) || count <= 0) {
        return {};
    }
    std::vector<VARIANT> children(static_cast<size_t>(count));
    LONG obtained = 0;
    if (FAILED(::AccessibleChildren(object, 0, count, children.data(), &obtained))) {
        return {};
    }
    std::vector<LONG> ids;
    for (LONG i = 0; i < obtained; ++i) {
        ids.push_back(children[static_cast<size_t>(i)].vt == VT_I4 ? children[static_cast<size_t>(i)].lVal : -1);
        ::VariantClear(&children[static_cast<size_t>(i)]);
    }
    return ids;
}

std::vector<std::wstring> accessibleNames(HWND window)
{
    const Microsoft::WRL::ComPtr<IAccessible> object = clientObject(window);
    if (!object) {
        return {};
    }
    std::vector<std::wstring> names;
    std::vector<LONG> ids = childIds(object.Get());
    ids.insert(ids.begin(), CHILDID_SELF);
    for (const LONG id : ids) {
        win32lib::UniqueBstr name;
        if (SUCCEEDED(object->get_accName(child(id), name.put())) && name) {
            names.emplace_back(name.get());
        }
    }
    return names;
}

} // namespace e2e
