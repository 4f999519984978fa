#include "ui/controls/windowsVersion.h"

#include "app/privileges.h"

namespace ui::controls {

std::optional<WindowsVersion> windowsVersion()
{
    uint32_t major = 0;
    uint32_t minor = 0;
    if (!app::getWorkstationVersion(major, minor)) {
        return std::nullopt;
    }
    return WindowsVersion{major, minor};
}

} // namespace ui::controls
