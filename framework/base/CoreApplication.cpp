#include "framework/base/CoreApplication.h"

namespace framework::base {
namespace {

CoreApplication *g_current = nullptr;

} // namespace

CoreApplication::CoreApplication() noexcept
{
    g_current = this;
}

CoreApplication::~CoreApplication()
{
    if (g_current == this) {
        g_current = nullptr;
    }
}

CoreApplication *CoreApplication::current() noexcept
{
    return g_current;
}

text::FontDescription uiFont()
{
    const CoreApplication *application = CoreApplication::current();
    return application != nullptr ? application->font() : text::FontDescription{};
}

} // namespace framework::base
