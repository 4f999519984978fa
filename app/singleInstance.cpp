#include "app/singleInstance.h"

#include "win32lib/UniqueResource.h"

namespace app {
namespace {

win32lib::UniqueHandle g_singleInstanceMutex;

} // namespace

bool acquireSingleInstance()
{
    if (g_singleInstanceMutex) {
        return false;
    }
    g_singleInstanceMutex.reset(::CreateMutexW(nullptr, FALSE, kSingleInstanceMutexName));
    const DWORD error = ::GetLastError();
    // Another user's instance shows up as access denied; any other failure
    // to create the mutex does not stop the program.
    return error != ERROR_ALREADY_EXISTS && error != ERROR_ACCESS_DENIED;
}

void releaseSingleInstance() noexcept
{
    g_singleInstanceMutex.reset();
}

bool holdsSingleInstance() noexcept
{
    return static_cast<bool>(g_singleInstanceMutex);
}

} // namespace app
