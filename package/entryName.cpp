#include "package/entryName.h"

#include <windows.h>

namespace package {

namespace {

bool isSeparator(wchar_t character) noexcept
{
    return character == L'\\' || character == L'/';
}

// Windows drops trailing dots and spaces from a segment, so "name." opens
// "name" and ".. " opens the parent folder: the name on disk would not be
// the name in the archive.
bool endsInDotOrSpace(std::wstring_view segment) noexcept
{
    return !segment.empty() && (segment.back() == L'.' || segment.back() == L' ');
}

bool hasControlCharacter(std::wstring_view name) noexcept
{
    for (const wchar_t character : name) {
        if (character < L'\x20') {
            return true;
        }
    }
    return false;
}

// Windows opens a device for these names in any folder, whatever extension
// follows and with trailing spaces ("nul.txt", "COM1 .log").
bool isDeviceName(std::wstring_view segment) noexcept
{
    std::wstring_view base = segment.substr(0, segment.find(L'.'));
    while (!base.empty() && base.back() == L' ') {
        base.remove_suffix(1);
    }
    static constexpr const wchar_t *kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const wchar_t *device : kDevices) {
        if (::CompareStringOrdinal(base.data(), static_cast<int>(base.size()), device, -1, TRUE) == CSTR_EQUAL) {
            return true;
        }
    }
    if (base.size() == 4) {
        const bool port = ::CompareStringOrdinal(base.data(), 3, L"COM", 3, TRUE) == CSTR_EQUAL ||
                          ::CompareStringOrdinal(base.data(), 3, L"LPT", 3, TRUE) == CSTR_EQUAL;
        const wchar_t number = base[3];
        const bool digit =
            (number >= L'0' && number <= L'9') || number == L'\u00B9' || number == L'\u00B2' || number == L'\u00B3';
        return port && digit;
    }
    return false;
}

} // namespace

bool isDirectoryEntry(std::wstring_view name) noexcept
{
    return !name.empty() && isSeparator(name.back());
}

bool isSafeEntryName(std::wstring_view name) noexcept
{
    if (name.empty() || isSeparator(name.front()) || name.find(L':') != std::wstring_view::npos ||
        hasControlCharacter(name)) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isSeparator(name[end])) {
            ++end;
        }
        const std::wstring_view segment = name.substr(start, end - start);
        if (!segment.empty() && (endsInDotOrSpace(segment) || isDeviceName(segment))) {
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
