#include "installer/destinationRules.h"

#include <windows.h>

#include <string>

namespace installer {
namespace {

bool isSeparator(wchar_t c)
{
    return c == L'\\' || c == L'/';
}

bool isDriveLetter(wchar_t c)
{
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Windows drops trailing dots and blanks from a name, so such a segment
// names another folder than the one checked.
bool isAcceptableSegment(std::wstring_view segment)
{
    if (segment.empty() || segment == L"." || segment == L"..") {
        return false;
    }
    const wchar_t last = segment.back();
    if (last == L'.' || last == L' ') {
        return false;
    }
    for (const wchar_t c : segment) {
        if (c < 32 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' || c == L'*') {
            return false;
        }
    }
    return true;
}

} // namespace

bool validateDestination(std::wstring_view destination)
{
    // "X:\" and one character of a folder name at least.
    if (destination.size() < 4 || destination.size() >= MAX_PATH) {
        return false;
    }
    if (!isDriveLetter(destination[0]) || destination[1] != L':' || !isSeparator(destination[2])) {
        return false;
    }
    std::wstring_view rest = destination.substr(3);
    // One closing separator is allowed, as a typed path may have one.
    if (isSeparator(rest.back())) {
        rest.remove_suffix(1);
    }
    while (true) {
        const size_t end = rest.find_first_of(L"\\/");
        if (!isAcceptableSegment(rest.substr(0, end))) {
            return false;
        }
        if (end == std::wstring_view::npos) {
            break;
        }
        rest.remove_prefix(end + 1);
    }
    const wchar_t root[] = {destination[0], L':', L'\\', L'\0'};
    return ::GetDriveTypeW(root) == DRIVE_FIXED;
}

} // namespace installer
