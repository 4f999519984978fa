#include "package/extraction.h"

#include "installer/fileSystem.h"
#include "package/bzip2Entry.h"
#include "package/entryName.h"
#include "package/zipReadCache.h"
#include "win32lib/UniqueResource.h"

#include <minizip/unzip.h>
#include <minizip/iowin32.h>

#include <windows.h>

#include <array>
#include <string_view>

namespace package {

namespace {

constexpr uLong kNameBufferSize = 512;
constexpr unsigned kBlockSize = 8192;
constexpr uLong kUtf8NameFlag = 0x800;
// Targets are used without a long-path prefix: a longer one is refused, not cut.
constexpr size_t kMaxTargetLength = MAX_PATH - 1;

// WriteFile may report success after writing part of a block (a volume that
// has just filled up does); the rest is written again so that the real
// error surfaces.
bool writeAll(HANDLE file, const char *bytes, DWORD count)
{
    while (count > 0) {
        DWORD written = 0;
        if (!::WriteFile(file, bytes, count, &written, nullptr)) {
            return false;
        }
        if (written == 0) {
            ::SetLastError(ERROR_WRITE_FAULT);
            return false;
        }
        bytes += written;
        count -= written;
    }
    return true;
}

class Extraction {
public:
    Extraction(ExtractResult &result, const std::wstring &destination) : result_(result), destination_(destination) {}

    bool run(const std::wstring &archivePath);
    [[nodiscard]] DWORD lastError() const noexcept { return lastError_; }

private:
    struct Entry {
        unz_file_info64 info = {};
        std::wstring name;
    };

    bool fail(uint32_t code, int32_t zipCode, DWORD lastError)
    {
        result_.code = code;
        result_.zipCode = zipCode;
        lastError_ = lastError;
        return false;
    }

    bool readEntry(Entry &entry);
    bool sumSizes(uint64_t entryCount);
    bool extractEntry(const Entry &entry);
    bool extractFile(const std::wstring &target);

    ExtractResult &result_;
    const std::wstring &destination_;
    DWORD lastError_ = 0;
    // Declared before the archive: its streams call through these until closed.
    zlib_filefunc64_def win32Functions_ = {};
    Win32Lib::UniqueUnzFile archive_;
    uint64_t total_ = 0;
    uint64_t written_ = 0;
    std::array<char, kBlockSize> block_ = {};
};

bool Extraction::readEntry(Entry &entry)
{
    std::array<char, kNameBufferSize> name = {};
    ::SetLastError(0);
    const int status =
        ::unzGetCurrentFileInfo64(archive_.get(), &entry.info, name.data(), kNameBufferSize, nullptr, 0, nullptr, 0);
    if (status != UNZ_OK) {
        return fail(kExtractEntryInfo, status, ::GetLastError());
    }
    // A name cut to the buffer would be a different file; it cannot fit in
    // a target path anyway.
    if (entry.info.size_filename >= kNameBufferSize) {
        return fail(kExtractCreateFile, 0, ERROR_FILENAME_EXCED_RANGE);
    }
    const std::string_view bytes(name.data(), entry.info.size_filename);
    if (!convertEntryName(bytes, (entry.info.flag & kUtf8NameFlag) != 0, entry.name)) {
        return fail(kExtractConvertName, 0, ::GetLastError());
    }
    return true;
}

bool Extraction::sumSizes(uint64_t entryCount)
{
    for (uint64_t index = 0; index < entryCount; ++index) {
        Entry entry;
        if (!readEntry(entry)) {
            return false;
        }
        if (!isDirectoryEntry(entry.name)) {
            total_ += entry.info.uncompressed_size;
        }
        if (index + 1 < entryCount) {
            ::SetLastError(0);
            const int status = ::unzGoToNextFile(archive_.get());
            if (status != UNZ_OK) {
                return fail(kExtractGoToNext, status, ::GetLastError());
            }
        }
    }
    ::SetLastError(0);
    const int status = ::unzGoToFirstFile(archive_.get());
    if (status != UNZ_OK) {
        return fail(kExtractGoToFirst, status, ::GetLastError());
    }
    return true;
}

bool Extraction::extractEntry(const Entry &entry)
{
    // Checked before anything of this entry touches the disk.
    if (!isSafeEntryName(entry.name)) {
        return fail(kExtractUnsafeName, 0, ERROR_INVALID_NAME);
    }
    const bool directory = isDirectoryEntry(entry.name);
    std::wstring target = destination_ + L"\\" + entry.name;
    if (target.size() > kMaxTargetLength) {
        return fail(directory ? kExtractCreateDirectory : kExtractCreateFile, 0, ERROR_FILENAME_EXCED_RANGE);
    }
    if (directory) {
        target.pop_back();
        if (!installer::tryCreateDirectoryTree(target)) {
            return fail(kExtractCreateDirectory, 0, ::GetLastError());
        }
        return true;
    }
    if (entry.info.compression_method == kBzip2Method) {
        const int status = checkBzip2StreamEnds(archive_.get());
        if (status != UNZ_OK) {
            return fail(kExtractReadEntry, status, ERROR_INVALID_DATA);
        }
    }
    return extractFile(target);
}

bool Extraction::extractFile(const std::wstring &target)
{
    ::SetLastError(0);
    int status = ::unzOpenCurrentFile(archive_.get());
    if (status != UNZ_OK) {
        return fail(kExtractOpenEntry, status, ::GetLastError());
    }
    // On a failure below, closing the archive closes the open entry too.
    // Parent folders are not created here: the archive lists each folder
    // before the files inside it.
    Win32Lib::UniqueFile file(::CreateFileW(target.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return fail(kExtractCreateFile, 0, ::GetLastError());
    }
    for (;;) {
        ::SetLastError(0);
        const int count = ::unzReadCurrentFile(archive_.get(), block_.data(), kBlockSize);
        if (count < 0) {
            return fail(kExtractReadEntry, count, ::GetLastError());
        }
        if (count == 0) {
            break;
        }
        if (!writeAll(file.get(), block_.data(), static_cast<DWORD>(count))) {
            return fail(kExtractWriteFile, 0, ::GetLastError());
        }
        if (result_.progress) {
            written_ += static_cast<uint64_t>(count);
            if (result_.progress(static_cast<int64_t>(total_), written_)) {
                return fail(kExtractCancelled, 0, 0);
            }
        }
    }
    file.reset();
    // The CRC of the whole entry is only known here.
    ::SetLastError(0);
    status = ::unzCloseCurrentFile(archive_.get());
    if (status == UNZ_CRCERROR) {
        return fail(kExtractReadEntry, status, ERROR_CRC);
    }
    if (status != UNZ_OK) {
        return fail(kExtractReadEntry, status, ::GetLastError());
    }
    return true;
}

bool Extraction::run(const std::wstring &archivePath)
{
    ::fill_win32_filefunc64W(&win32Functions_);
    zlib_filefunc64_def functions = cachedFileFunctions(&win32Functions_);

    ::SetLastError(0);
    archive_.reset(::unzOpen2_64(archivePath.c_str(), &functions));
    if (!archive_) {
        return fail(kExtractOpenArchive, 0, ::GetLastError());
    }
    unz_global_info64 globalInfo = {};
    ::SetLastError(0);
    const int status = ::unzGetGlobalInfo64(archive_.get(), &globalInfo);
    if (status != UNZ_OK) {
        return fail(kExtractGlobalInfo, status, ::GetLastError());
    }
    const uint64_t entryCount = globalInfo.number_entry;
    if (result_.progress && !sumSizes(entryCount)) {
        return false;
    }
    for (uint64_t index = 0; index < entryCount; ++index) {
        Entry entry;
        if (!readEntry(entry) || !extractEntry(entry)) {
            return false;
        }
        if (index + 1 < entryCount) {
            ::SetLastError(0);
            const int next = ::unzGoToNextFile(archive_.get());
            if (next != UNZ_OK) {
                return fail(kExtractGoToNext, next, ::GetLastError());
            }
        }
    }
    archive_.reset();
    return true;
}

} // namespace

bool extractArchive(ExtractResult &result, const std::wstring &archivePath, const std::wstring &destination)
{
    result.code = 0;
    result.zipCode = 0;
    DWORD lastError = 0;
    bool extracted = false;
    {
        // The archive, the entry and the target file are closed when this
        // scope ends; the error is set after that, for the caller to read.
        Extraction extraction(result, destination);
        extracted = extraction.run(archivePath);
        lastError = extraction.lastError();
    }
    if (!extracted) {
        ::SetLastError(lastError);
    }
    return extracted;
}

} // namespace package
