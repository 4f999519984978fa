// Loads each DLL named on the command line by bare name, as a program without
// the search-path hardening would: the folder of the program comes first.
#include <windows.h>

int wmain(int argc, wchar_t **argv)
{
    int loaded = 0;
    for (int i = 1; i < argc; ++i) {
        if (::LoadLibraryW(argv[i]) != nullptr) {
            ++loaded;
        }
    }
    return loaded;
}
