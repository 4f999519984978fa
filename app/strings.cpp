#include "app/strings.h"

#include <windows.h>

#include <algorithm>

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

void addStringBlockCharacters(const wchar_t *block, size_t blockLength, std::wstring &characters)
{
    constexpr int kTextsPerBlock = 16;
    size_t position = 0;
    for (int text = 0; text < kTextsPerBlock && position < blockLength; ++text) {
        const size_t length = std::min<size_t>(block[position], blockLength - position - 1);
        ++position;
        for (size_t i = 0; i < length; ++i, ++position) {
            const wchar_t character = block[position];
            if (character >= L' ' && characters.find(character) == std::wstring::npos) {
                characters.push_back(character);
            }
        }
    }
    std::sort(characters.begin(), characters.end());
}

namespace {

BOOL CALLBACK addBlock(HMODULE module, LPCWSTR type, LPWSTR name, LONG_PTR parameter) noexcept
{
    const HRSRC info = ::FindResourceW(module, name, type);
    const HGLOBAL loaded = info != nullptr ? ::LoadResource(module, info) : nullptr;
    const auto *block = loaded != nullptr ? static_cast<const wchar_t *>(::LockResource(loaded)) : nullptr;
    if (block != nullptr) {
        try {
            addStringBlockCharacters(block, ::SizeofResource(module, info) / sizeof(wchar_t),
                                     *reinterpret_cast<std::wstring *>(parameter));
        } catch (...) {
            return FALSE;
        }
    }
    return TRUE;
}

} // namespace

std::wstring programCharacters()
{
    std::wstring characters;
    ::EnumResourceNamesW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(6) /* RT_STRING */, addBlock,
                         reinterpret_cast<LONG_PTR>(&characters));
    return characters;
}

} // namespace app
