// Stand-in for the player: a small window, and a marker file
// "launcher-ran.txt" next to the program that records that it ran, from
// which current folder and with which token elevation type (1 default,
// 2 full, 3 limited).

#include "win32lib/UniqueResource.h"

#include <windows.h>

#include <string>

namespace {

constexpr wchar_t kWindowClass[] = L"KestruneLauncherWindow";

std::string toUtf8(const std::wstring &text)
{
    const int length =
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    if (length > 0) {
        ::WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                              nullptr);
    }
    return bytes;
}

DWORD elevationType()
{
    win32lib::UniqueHandle token;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, token.put())) {
        return 0;
    }
    TOKEN_ELEVATION_TYPE type = TokenElevationTypeDefault;
    DWORD size = 0;
    if (!::GetTokenInformation(token.get(), TokenElevationType, &type, sizeof(type), &size)) {
        return 0;
    }
    return static_cast<DWORD>(type);
}

void writeMarker()
{
    wchar_t module[MAX_PATH] = {};
    const DWORD moduleLength = ::GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring markerPath(module, moduleLength);
    markerPath.erase(markerPath.find_last_of(L'\\') + 1);
    markerPath += L"launcher-ran.txt";

    wchar_t current[MAX_PATH] = {};
    const DWORD currentLength = ::GetCurrentDirectoryW(MAX_PATH, current);
    const std::string text = "folder=" + toUtf8(std::wstring(current, currentLength)) + "\r\n" +
                             "program=" + toUtf8(std::wstring(module, moduleLength)) + "\r\n" +
                             "elevation=" + std::to_string(elevationType()) + "\r\n";

    win32lib::UniqueFile file(
        ::CreateFileW(markerPath.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) {
        DWORD written = 0;
        ::WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT paint = {};
        const HDC dc = ::BeginPaint(window, &paint);
        RECT client = {};
        ::GetClientRect(window, &client);
        ::DrawTextW(dc, L"Kestrune", -1, &client, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        ::EndPaint(window, &paint);
        return 0;
    }
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcW(window, message, wParam, lParam);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand)
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = instance;
    windowClass.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kWindowClass;
    if (!::RegisterClassExW(&windowClass)) {
        return 1;
    }
    const HWND window = ::CreateWindowExW(0, kWindowClass, L"Kestrune", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                          CW_USEDEFAULT, 320, 160, nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ::ShowWindow(window, showCommand);
    // Written once the window exists, so that whoever sees the marker can
    // also find the window.
    writeMarker();

    MSG message = {};
    while (::GetMessageW(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
    return 0;
}
