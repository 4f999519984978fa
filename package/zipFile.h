#pragma once

#include "win32lib/UniqueResource.h"

#include <minizip/unzip.h>

namespace package {

// The owner of a minizip archive handle. It sits with the archive code rather
// than with the other owners so that only this code needs minizip's headers.
struct UnzFileTraits {
    using pointer = unzFile;
    static pointer invalid() noexcept { return nullptr; }
    static void close(pointer value) noexcept { ::unzClose(value); }
};

using UniqueUnzFile = win32lib::UniqueResource<UnzFileTraits>;

} // namespace package
