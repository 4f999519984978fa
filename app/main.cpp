#include "app/Application.h"
#include "app/exitCodes.h"

#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR arguments, int)
{
    // Before anything can load a library: this program is typically started
    // from a Downloads folder, where a planted DLL must never be picked up.
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);

    ::HeapSetInformation(nullptr, HeapEnableTerminationOnCorruption, nullptr, 0);

    if (FAILED(::CoInitialize(nullptr))) {
        return app::kExitComFailed;
    }
    const unsigned result = app::Application::instance().run(arguments != nullptr ? arguments : L"");
    app::Application::destroy();
    ::CoUninitialize();
    return static_cast<int>(result);
}
