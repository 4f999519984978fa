#include "installer/fileSystem.h"

#include "win32lib/UniqueResource.h"

#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdlib>
#include <stdexcept>

namespace installer {
namespace {

// Raising an exception may itself reset the thread's last error (the C++
// runtime's thread-local storage does), so the error travels with it.
class DirectoryTreeError : public std::runtime_error {
public:
    DirectoryTreeError(const char *what, DWORD error) : std::runtime_error(what), error_(error) {}
    [[nodiscard]] DWORD error() const noexcept { return error_; }

private:
    DWORD error_;
};

} // namespace

void createDirectoryTree(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const size_t separator = path.find_last_of(L"\\/");
        if (separator != std::wstring::npos) {
            createDirectoryTree(path.substr(0, separator));
        }
        if (!::CreateDirectoryW(path.c_str(), nullptr)) {
            throw DirectoryTreeError("CreateDirectory() call failed", ::GetLastError());
        }
        return;
    }
    if ((attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
        return;
    }
    throw DirectoryTreeError("Could not create directory because a file with the same name exists",
                             ERROR_ALREADY_EXISTS);
}

bool tryCreateDirectoryTree(const std::wstring &path)
{
    if (path.empty() || path.back() == L'\\') {
        ::SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    try {
        createDirectoryTree(path);
        return true;
    } catch (const DirectoryTreeError &error) {
        ::SetLastError(error.error());
        return false;
    } catch (const std::runtime_error &) {
        return false;
    }
}

namespace {

DWORD removeTreeEntry(const std::wstring &path, DWORD attributes);

// Every entry inside the folder: the first error, the other entries tried
// anyway.
DWORD removeEntriesIn(const std::wstring &folder)
{
    DWORD firstError = 0;
    WIN32_FIND_DATAW entry = {};
    win32lib::UniqueFindHandle search(::FindFirstFileW((folder + L"\\*").c_str(), &entry));
    if (!search) {
        return 0;
    }
    do {
        if (wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0) {
            continue;
        }
        const DWORD error = removeTreeEntry(folder + L"\\" + entry.cFileName, entry.dwFileAttributes);
        firstError = firstError != 0 ? firstError : error;
    } while (::FindNextFileW(search.get(), &entry));
    return firstError;
}

// A link (junction or symbolic link) is removed as itself: what it points to
// is not part of the tree, and may be anything an unelevated process chose.
DWORD removeTreeEntry(const std::wstring &path, DWORD attributes)
{
    const bool folder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0 && folder) {
        const DWORD firstError = removeEntriesIn(path);
        if (!::RemoveDirectoryW(path.c_str())) {
            const DWORD error = ::GetLastError();
            return firstError != 0 ? firstError : error;
        }
        return firstError;
    }
    if ((attributes & FILE_ATTRIBUTE_READONLY) != 0) {
        ::SetFileAttributesW(path.c_str(), attributes & ~static_cast<DWORD>(FILE_ATTRIBUTE_READONLY));
    }
    const BOOL removed = folder ? ::RemoveDirectoryW(path.c_str()) : ::DeleteFileW(path.c_str());
    return removed ? 0 : ::GetLastError();
}

} // namespace

int removeDirectoryTree(const std::wstring &path)
{
    if (path.empty() || path.size() >= MAX_PATH) {
        return 0;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return 0;
    }
    return static_cast<int>(removeTreeEntry(path, attributes));
}

int removeDirectoryContents(const std::wstring &path)
{
    if (path.empty() || path.size() >= MAX_PATH) {
        return 0;
    }
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 ||
        (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        return 0;
    }
    return static_cast<int>(removeEntriesIn(path));
}

uint64_t directorySize(const std::wstring &path)
{
    WIN32_FIND_DATAW entry = {};
    win32lib::UniqueFindHandle search(::FindFirstFileW((path + L"\\*").c_str(), &entry));
    if (!search) {
        return 0;
    }
    uint64_t total = 0;
    do {
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            const bool self = wcscmp(entry.cFileName, L".") == 0 || wcscmp(entry.cFileName, L"..") == 0;
            const bool linked = (entry.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
            if (!self && !linked) {
                total += directorySize(path + L"\\" + entry.cFileName);
            }
        } else {
            total += (static_cast<uint64_t>(entry.nFileSizeHigh) << 32) | entry.nFileSizeLow;
        }
    } while (::FindNextFileW(search.get(), &entry));
    return total;
}

bool isDirectory(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool isDirectoryEmpty(const std::wstring &path)
{
    return ::PathIsDirectoryEmptyW(path.c_str()) == TRUE;
}

bool driveOfPath(const std::wstring &path, std::wstring &drive)
{
    wchar_t buffer[3] = {};
    if (_wsplitpath_s(path.c_str(), buffer, 3, nullptr, 0, nullptr, 0, nullptr, 0) != 0) {
        return false;
    }
    drive = buffer;
    return true;
}

bool knownFolderPath(REFKNOWNFOLDERID folder, std::wstring &path)
{
    Microsoft::WRL::ComPtr<IKnownFolderManager> manager;
    if (FAILED(::CoCreateInstance(CLSID_KnownFolderManager, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&manager)))) {
        return false;
    }
    Microsoft::WRL::ComPtr<IKnownFolder> knownFolder;
    if (FAILED(manager->GetFolder(folder, &knownFolder))) {
        return false;
    }
    Microsoft::WRL::ComPtr<IShellItem> item;
    if (FAILED(knownFolder->GetShellItem(0, IID_PPV_ARGS(&item)))) {
        return false;
    }
    win32lib::UniqueCoTaskMem<wchar_t> name;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.put())) || !name) {
        return false;
    }
    path = name.get();
    return true;
}

} // namespace installer
