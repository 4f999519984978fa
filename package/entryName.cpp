#include "package/entryName.h"

#include "win32lib/utf16.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace package {

namespace {

#ifdef _WIN32

bool equalsIgnoringCase(std::wstring_view text, std::wstring_view other) noexcept
{
    return ::CompareStringOrdinal(text.data(), static_cast<int>(text.size()), other.data(),
                                  static_cast<int>(other.size()), TRUE) == CSTR_EQUAL;
}

#else

// Built for the build machine (the fuzz targets), which has no Windows case
// table: the device names are ASCII, and ASCII letters fold alike.
bool equalsIgnoringCase(std::wstring_view text, std::wstring_view other) noexcept
{
    const auto fold = [](wchar_t c) { return c >= L'a' && c <= L'z' ? static_cast<wchar_t>(c - L'a' + L'A') : c; };
    if (text.size() != other.size()) {
        return false;
    }
    for (size_t i = 0; i < text.size(); ++i) {
        if (fold(text[i]) != fold(other[i])) {
            return false;
        }
    }
    return true;
}

#endif

#ifdef _WIN32

bool convertAnsiName(std::string_view bytes, std::wstring &name)
{
    const int byteCount = static_cast<int>(bytes.size());
    const int length = ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), byteCount, nullptr, 0);
    if (length <= 0) {
        return false;
    }
    name.resize(static_cast<size_t>(length));
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, bytes.data(), byteCount, name.data(), length) == length;
}

#else

// The build machine has no system code page: each byte stands for the
// character of its value (ISO 8859-1), as in a code page where every byte
// is a character.
bool convertAnsiName(std::string_view bytes, std::wstring &name)
{
    name.assign(bytes.size(), L'\0');
    for (size_t i = 0; i < bytes.size(); ++i) {
        name[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[i]));
    }
    return true;
}

#endif

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
    static constexpr std::wstring_view kDevices[] = {L"CON", L"PRN", L"AUX", L"NUL", L"CONIN$", L"CONOUT$"};
    for (const std::wstring_view device : kDevices) {
        if (equalsIgnoringCase(base, device)) {
            return true;
        }
    }
    if (base.size() == 4) {
        const bool port =
            equalsIgnoringCase(base.substr(0, 3), L"COM") || equalsIgnoringCase(base.substr(0, 3), L"LPT");
        const wchar_t number = base[3];
        const bool digit =
            (number >= L'0' && number <= L'9') || number == L'\u00B9' || number == L'\u00B2' || number == L'\u00B3';
        return port && digit;
    }
    return false;
}

} // namespace

bool isEntrySeparator(wchar_t character) noexcept
{
    return character == L'\\' || character == L'/';
}

bool isDirectoryEntry(std::wstring_view name) noexcept
{
    return !name.empty() && isEntrySeparator(name.back());
}

bool isSafeEntryName(std::wstring_view name) noexcept
{
    if (name.empty() || isEntrySeparator(name.front()) || name.find(L':') != std::wstring_view::npos ||
        hasControlCharacter(name)) {
        return false;
    }
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = start;
        while (end < name.size() && !isEntrySeparator(name[end])) {
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
    if (!utf8) {
        return convertAnsiName(bytes, name);
    }
    const size_t length = win32lib::utf8ToUtf16(bytes, nullptr, 0);
    if (length == 0) {
        return false;
    }
    name.resize(length);
    return win32lib::utf8ToUtf16(bytes, name.data(), length) == length;
}

} // namespace package
