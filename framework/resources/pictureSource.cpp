#include "framework/resources/pictureSource.h"

#include <windows.h>

namespace framework::resources {

namespace {

// PLACEHOLDER until the protected store's picture table exists: the pictures
// as plain RCDATA resources of the module.
PictureBytes resourcePicture(int id)
{
    HMODULE module = ::GetModuleHandleW(nullptr);
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (resource == nullptr) {
        return {};
    }
    HGLOBAL loaded = ::LoadResource(module, resource);
    const DWORD size = ::SizeofResource(module, resource);
    const void *data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr || size == 0) {
        return {};
    }
    return PictureBytes(static_cast<const char *>(data), size);
}

PictureLookup g_lookup = &resourcePicture;

} // namespace

PictureBytes pictureBytes(int id)
{
    return g_lookup(id);
}

PictureLookup replacePictureLookup(PictureLookup lookup) noexcept
{
    PictureLookup previous = g_lookup;
    g_lookup = lookup != nullptr ? lookup : &resourcePicture;
    return previous;
}

} // namespace framework::resources
