#include "ui/controls/windowsVersion.h"

#include "app/privileges.h"

namespace application::controls {

std::optional<layout::WindowsVersion> windowsVersion()
{
    uint32_t major = 0;
    uint32_t minor = 0;
    if (!app::getWorkstationVersion(major, minor)) {
        return std::nullopt;
    }
    return layout::WindowsVersion{major, minor};
}

} // namespace application::controls
