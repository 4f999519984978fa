#include "win32lib/UniqueResource.h"

#include <gtest/gtest.h>

#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    ::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    win32lib::ScopedComInitializer com(COINIT_APARTMENTTHREADED);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
