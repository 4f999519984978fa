#pragma once

#include <windows.h>
#include <shtypes.h>

#include <cstdint>
#include <string>

namespace installer {

// Creates `path` and every missing parent, the upper ones first. Both "\" and
// "/" separate. Throws a std::runtime_error that carries the Windows error.
void createDirectoryTree(const std::wstring &path);

// createDirectoryTree as a result: false with the last error set. An empty
// path or one ending in "\" is refused with ERROR_INVALID_PARAMETER.
[[nodiscard]] bool tryCreateDirectoryTree(const std::wstring &path);

// Deletes the folder and everything below it, read-only files included,
// without the recycle bin. Links inside (junctions, symbolic links) are
// deleted as links, never followed. Paths longer than 259 characters and
// empty paths are left alone (result 0). The result is 0 or the first
// Windows error met; callers ignore it.
int removeDirectoryTree(const std::wstring &path);

// removeDirectoryTree for everything inside the folder, which itself stays.
int removeDirectoryContents(const std::wstring &path);

// Total size of the files below `path`, in 64 bits. Linked folders (reparse
// points) are not followed: a link back up the tree would never end, and a
// link elsewhere is not part of this folder.
[[nodiscard]] uint64_t directorySize(const std::wstring &path);

[[nodiscard]] bool isDirectory(const std::wstring &path);
[[nodiscard]] bool isDirectoryEmpty(const std::wstring &path);

// "C:" for "C:\Program Files"; empty for paths without a drive letter.
[[nodiscard]] bool driveOfPath(const std::wstring &path, std::wstring &drive);

// File-system path of a known folder, through the known-folder manager.
// Needs COM on the calling thread.
[[nodiscard]] bool knownFolderPath(REFKNOWNFOLDERID folder, std::wstring &path);

} // namespace installer
