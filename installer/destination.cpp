#include "installer/destination.h"

#include <cwchar>

namespace installer {
namespace {

// "C:\"
constexpr size_t kRootLength = 3;

bool isSeparator(wchar_t character)
{
    return character == L'\\' || character == L'/';
}

bool isDriveLetter(wchar_t character)
{
    return (character >= L'A' && character <= L'Z') || (character >= L'a' && character <= L'z');
}

bool refusedInName(wchar_t character)
{
    return character < 0x20 || wcschr(L"<>:\"|?*", character) != nullptr;
}

} // namespace

bool destinationFormIsValid(const std::wstring &destination)
{
    // A drive letter, a colon and a backslash: this also keeps out UNC
    // names, \\?\ and \\.\ device paths and paths relative to a drive's
    // current folder.
    if (destination.size() < kRootLength || destination.size() >= MAX_PATH || !isDriveLetter(destination[0]) ||
        destination[1] != L':' || !isSeparator(destination[2])) {
        return false;
    }
    size_t segmentStart = kRootLength;
    for (size_t position = kRootLength; position <= destination.size(); ++position) {
        if (position < destination.size() && !isSeparator(destination[position])) {
            if (refusedInName(destination[position])) {
                return false;
            }
            continue;
        }
        const std::wstring_view segment(destination.data() + segmentStart, position - segmentStart);
        // Windows drops a name's trailing dots and spaces, so "..", "..."
        // and "a. " would all be read as something else than they show.
        if (!segment.empty() && (segment.back() == L'.' || segment.back() == L' ')) {
            return false;
        }
        segmentStart = position + 1;
    }
    return true;
}

DWORD validateDestination(const std::wstring &destination)
{
    if (!destinationFormIsValid(destination)) {
        return ERROR_BAD_PATHNAME;
    }
    const wchar_t root[] = {destination[0], L':', L'\\', L'\0'};
    if (::GetDriveTypeW(root) != DRIVE_FIXED) {
        return ERROR_INVALID_DRIVE;
    }
    // Every folder on the way and the destination itself, as far as they
    // exist: a link anywhere would send the files somewhere else.
    for (size_t position = kRootLength; position <= destination.size(); ++position) {
        if (position < destination.size() && !isSeparator(destination[position])) {
            continue;
        }
        if (position == kRootLength || isSeparator(destination[position - 1])) {
            continue;
        }
        const std::wstring prefix = destination.substr(0, position);
        const DWORD attributes = ::GetFileAttributesW(prefix.c_str());
        if (attributes == INVALID_FILE_ATTRIBUTES) {
            break;
        }
        if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0) {
            return kErrorReparsePointEncountered;
        }
    }
    return ERROR_SUCCESS;
}

} // namespace installer
