#include "package/archivePlan.h"

#include "package/entryName.h"
#include "package/extraction.h"

#ifdef _WIN32
#include <windows.h>
#endif

#include <array>
#include <cwctype>

namespace package {

namespace {

constexpr uLong kNameBufferSize = 512;
constexpr uLong kUtf8NameFlag = 0x800;
// Targets are used without a long-path prefix: a longer one is refused, not
// cut (MAX_PATH less the terminator).
constexpr size_t kMaxTargetLength = 259;

// The Windows errors planning reports, named here so that the planning
// builds where Windows' headers do not exist.
constexpr uint32_t kErrorInvalidName = 123;
constexpr uint32_t kErrorFilenameTooLong = 206;

#ifdef _WIN32

static_assert(kMaxTargetLength == MAX_PATH - 1);
static_assert(kErrorInvalidName == ERROR_INVALID_NAME && kErrorFilenameTooLong == ERROR_FILENAME_EXCED_RANGE);

// minizip reads through the Win32 file functions, which leave their error
// as the thread's last error.
void clearSystemError() noexcept
{
    ::SetLastError(0);
}

uint32_t systemError() noexcept
{
    return ::GetLastError();
}

#else

// On the build machine (the fuzz target) the archive is read from memory,
// which reports no system error.
void clearSystemError() noexcept
{
}

uint32_t systemError() noexcept
{
    return 0;
}

#endif

bool fail(ExtractFailure &failure, uint32_t code, int32_t zipCode, uint32_t lastError)
{
    failure = {code, zipCode, lastError};
    return false;
}

bool readEntry(unzFile archive, unz_file_info64 &info, std::wstring &name, ExtractFailure &failure)
{
    std::array<char, kNameBufferSize> bytes = {};
    clearSystemError();
    const int status = ::unzGetCurrentFileInfo64(archive, &info, bytes.data(), kNameBufferSize, nullptr, 0, nullptr, 0);
    if (status != UNZ_OK) {
        return fail(failure, kExtractEntryInfo, status, systemError());
    }
    // A name cut to the buffer would be a different file; it cannot fit in
    // a target path anyway.
    if (info.size_filename >= kNameBufferSize) {
        return fail(failure, kExtractCreateFile, 0, kErrorFilenameTooLong);
    }
    const std::string_view text(bytes.data(), info.size_filename);
    if (!convertEntryName(text, (info.flag & kUtf8NameFlag) != 0, name)) {
        return fail(failure, kExtractConvertName, 0, systemError());
    }
    return true;
}

} // namespace

std::wstring folderKey(std::wstring_view name)
{
    std::wstring key(name);
    for (wchar_t &character : key) {
        character = isEntrySeparator(character) ? L'\\' : static_cast<wchar_t>(std::towupper(character));
    }
    return key;
}

bool ArchivePlanner::read(unzFile archive)
{
    if (folders_.destinationIsLink()) {
        return fail(failure_, kExtractCreateDirectory, 0, kErrorLinkInDestination);
    }
    unz_global_info64 globalInfo = {};
    clearSystemError();
    const int status = ::unzGetGlobalInfo64(archive, &globalInfo);
    if (status != UNZ_OK) {
        return fail(failure_, kExtractGlobalInfo, status, systemError());
    }
    const uint64_t entryCount = globalInfo.number_entry;
    for (uint64_t index = 0; index < entryCount; ++index) {
        unz_file_info64 info = {};
        std::wstring name;
        if (!readEntry(archive, info, name, failure_) || !addEntry(archive, info, name)) {
            return false;
        }
        if (index + 1 < entryCount) {
            clearSystemError();
            const int next = ::unzGoToNextFile(archive);
            if (next != UNZ_OK) {
                return fail(failure_, kExtractGoToNext, next, systemError());
            }
        }
    }
    return true;
}

bool ArchivePlanner::addEntry(unzFile archive, const unz_file_info64 &info, const std::wstring &name)
{
    if (!isSafeEntryName(name)) {
        return fail(failure_, kExtractUnsafeName, 0, kErrorInvalidName);
    }
    const bool directory = isDirectoryEntry(name);
    std::wstring target = destination_ + L"\\" + name;
    if (target.size() > kMaxTargetLength) {
        return fail(failure_, directory ? kExtractCreateDirectory : kExtractCreateFile, 0, kErrorFilenameTooLong);
    }
    if (directory) {
        // A listed folder brings its parents with it, as it always has.
        const std::wstring_view folder(name.data(), name.size() - 1);
        for (size_t end = 1; end <= folder.size(); ++end) {
            if (end == folder.size() || isEntrySeparator(folder[end])) {
                listed_.insert(folderKey(folder.substr(0, end)));
            }
        }
        target.pop_back();
        plan_.folders.push_back(std::move(target));
        return true;
    }
    // Parent folders are not created for files: the archive lists each
    // folder before the files inside it, unless the folder is there already.
    const size_t separator = name.find_last_of(L"\\/");
    if (separator != std::wstring::npos) {
        const std::wstring_view parent(name.data(), separator);
        if (listed_.count(folderKey(parent)) == 0 && !folders_.walk(parent, false, failure_)) {
            return false;
        }
    }
    FileJob job;
    clearSystemError();
    const int status = ::unzGetFilePos64(archive, &job.position);
    if (status != UNZ_OK) {
        return fail(failure_, kExtractEntryInfo, status, systemError());
    }
    job.size = info.uncompressed_size;
    job.target = std::move(target);
    plan_.total += job.size;
    plan_.files.push_back(std::move(job));
    return true;
}

bool ArchivePlanner::createFolders()
{
    const size_t start = destination_.size() + 1;
    for (const std::wstring &folder : plan_.folders) {
        if (!folders_.walk(std::wstring_view(folder).substr(start), true, failure_)) {
            return false;
        }
    }
    return true;
}

} // namespace package
