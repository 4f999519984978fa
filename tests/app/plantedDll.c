/* Stands in for a system DLL planted next to the installer: when loaded it
   leaves "<its file name>.loaded" in the folder named by
   KESTRUNE_PLANT_MARKER_DIR. */
#include <windows.h>

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        wchar_t folder[MAX_PATH];
        wchar_t self[MAX_PATH];
        wchar_t marker[2 * MAX_PATH];
        DWORD length = GetEnvironmentVariableW(L"KESTRUNE_PLANT_MARKER_DIR", folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH && GetModuleFileNameW(instance, self, MAX_PATH) > 0) {
            const wchar_t *name = self;
            for (const wchar_t *p = self; *p; ++p) {
                if (*p == L'\\' || *p == L'/') {
                    name = p + 1;
                }
            }
            wsprintfW(marker, L"%s\\%s.loaded", folder, name);
            HANDLE file = CreateFileW(marker, GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
            if (file != INVALID_HANDLE_VALUE) {
                CloseHandle(file);
            }
        }
    }
    return TRUE;
}
