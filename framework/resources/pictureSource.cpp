#include "framework/resources/pictureSource.h"

#include "win32lib/encryption/store.h"

namespace framework::resources {

namespace {

PictureBytes storePicture(int id)
{
    if (id < 0 || id > 0xFFFF) {
        return {};
    }
    return win32lib::encryption::decodePicture(static_cast<uint16_t>(id));
}

PictureLookup g_lookup = &storePicture;

} // namespace

PictureBytes pictureBytes(int id)
{
    return g_lookup(id);
}

PictureLookup replacePictureLookup(PictureLookup lookup) noexcept
{
    PictureLookup previous = g_lookup;
    g_lookup = lookup != nullptr ? lookup : &storePicture;
    return previous;
}

} // namespace framework::resources
