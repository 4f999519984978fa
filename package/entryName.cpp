#include "package/entryName.h"

#include <windows.h>

namespace package {

namespace {

bool isSeparator(wchar_t character) noexcept
{
    return character == L'\\' || character == L'/';
}

bool isOnlyDotsAndSpaces(std::wstring_view segment) noexcept
{
    return segment.find_first_not_of(L". ") == std::wstring_view::npos;
}

} // namespace

bool isDirectoryEntry(std::wstring_view name) noexcept
{
    return !name.empty() && isSeparator(name.back());
}

bool isSafeEntryName(std::wstring_view name) noexcept
{
    if (name.empty() || isSeparator(name.front()) || name.find(L':') != std::wstring_view::npos) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end])) {
            ++end;
        }
        const std::wstring_view segment = name.substr(start, end - start);
        if (!segment.empty() && isOnlyDotsAndSpaces(segment)) {
            return false;
        }
        start = end + 1;
    }
    return true;
}

bool convertEntryName(std::string_view bytes, bool utf8, std::wstring &name)
{
    name.clear();
    if (bytes.empty()) {
        return true;
    }
    const UINT codePage = utf8 ? CP_UTF8 : CP_ACP;
    const int byteCount = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), byteCount, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    name.resize(static_cast<size_t>(length));
    return ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), byteCount, name.data(), length) ==
           length;
}

} // namespace package
