#include "package/manifest.h"

namespace package {

// STUB until the manifest step lands: every run fails as a bad manifest.
uint16_t fetchUpdateInfo(UpdateInfo &)
{
    return 20021;
}

} // namespace package
