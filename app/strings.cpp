#include "app/strings.h"

#include <windows.h>

namespace app {

std::wstring loadString(unsigned id)
{
    wchar_t buffer[kStringBufferLength] = {};
    const int length = ::LoadStringW(::GetModuleHandleW(nullptr), id, buffer, kStringBufferLength);
    return std::wstring(buffer, length > 0 ? static_cast<size_t>(length) : 0);
}

bool loadResourceText(unsigned id, std::wstring &out)
{
    const HMODULE module = ::GetModuleHandleW(nullptr);
    const HRSRC info = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10) /* RT_RCDATA */);
    if (info == nullptr) {
        return false;
    }
    const HGLOBAL loaded = ::LoadResource(module, info);
    if (loaded == nullptr) {
        return false;
    }
    const DWORD size = ::SizeofResource(module, info);
    if (size == 0) {
        return false;
    }
    const auto *bytes = static_cast<const char *>(::LockResource(loaded));
    if (bytes == nullptr) {
        return false;
    }
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), nullptr, 0);
    if (length <= 0) {
        return false;
    }
    std::wstring text(static_cast<size_t>(length), L'\0');
    if (::MultiByteToWideChar(CP_UTF8, 0, bytes, static_cast<int>(size), text.data(), length) != length) {
        return false;
    }
    out = std::move(text);
    return true;
}

} // namespace app
