#include "installer/heldFolder.h"

#include "installer/destination.h"

namespace installer {
namespace {

constexpr DWORD kOpenFolderItself = FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT;

} // namespace

bool HeldFolder::identify(HANDLE folder, Identity &identity)
{
    BY_HANDLE_FILE_INFORMATION information = {};
    if (!::GetFileInformationByHandle(folder, &information)) {
        return false;
    }
    if ((information.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (information.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        ::SetLastError(kErrorReparsePointEncountered);
        return false;
    }
    identity = {information.dwVolumeSerialNumber, information.nFileIndexHigh, information.nFileIndexLow};
    return true;
}

bool HeldFolder::hold(const std::wstring &path)
{
    handle_.reset();
    // Without FILE_SHARE_DELETE: a rename or deletion needs delete access,
    // which no one else can get while this handle is open.
    win32lib::UniqueFile folder(::CreateFileW(path.c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES | SYNCHRONIZE,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                              kOpenFolderItself, nullptr));
    if (!folder) {
        return false;
    }
    Identity identity;
    if (!identify(folder.get(), identity)) {
        return false;
    }
    handle_ = std::move(folder);
    identity_ = identity;
    return true;
}

bool HeldFolder::isStillAt(const std::wstring &path) const
{
    if (!handle_) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    // A link on the way would lead the path elsewhere even where the
    // folder at its end is the held one.
    if (const DWORD refusal = validateDestination(path); refusal != ERROR_SUCCESS) {
        ::SetLastError(refusal);
        return false;
    }
    return openIfHeld(path, FILE_READ_ATTRIBUTES).valid();
}

win32lib::UniqueFile HeldFolder::openIfHeld(const std::wstring &path, DWORD access) const
{
    win32lib::UniqueFile folder(::CreateFileW(path.c_str(), access,
                                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                              OPEN_EXISTING, kOpenFolderItself, nullptr));
    Identity identity;
    if (!folder || !identify(folder.get(), identity)) {
        folder.reset();
        return folder;
    }
    if (!(identity == identity_)) {
        // ERROR_FILE_INVALID: the folder under that name is another one.
        folder.reset();
        ::SetLastError(ERROR_FILE_INVALID);
    }
    return folder;
}

bool HeldFolder::releaseAndRemove(const std::wstring &path)
{
    if (!handle_) {
        ::SetLastError(ERROR_INVALID_HANDLE);
        return false;
    }
    handle_.reset();
    const win32lib::UniqueFile folder = openIfHeld(path, DELETE | FILE_READ_ATTRIBUTES);
    if (!folder) {
        return false;
    }
    FILE_DISPOSITION_INFO disposition = {TRUE};
    return ::SetFileInformationByHandle(folder.get(), FileDispositionInfo, &disposition, sizeof(disposition)) != FALSE;
}

} // namespace installer
