#include "package/extraction.h"

#include "installer/fileSystem.h"
#include "tests/package/fixtures.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>
#include <minizip/unzip.h>
#include <zlib.h>

#include <windows.h>

#include <chrono>
#include <sstream>
#include <vector>

namespace {

using package::extractArchive;
using package::extractArchiveOnThreads;
using package::ExtractResult;
using testsupport::packageFixture;
using testsupport::TempFolder;

struct ListedEntry {
    bool folder = false;
    uint64_t size = 0;
    uint32_t crc = 0;
    std::wstring name;
};

std::wstring widen(const std::string &text)
{
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

// A package as Python's zipfile read it (make-fixtures.py).
std::vector<ListedEntry> packageListing(const wchar_t *listing)
{
    const auto text = testsupport::readFile(packageFixture(listing));
    std::vector<ListedEntry> entries;
    if (!text) {
        return entries;
    }
    std::istringstream lines(*text);
    std::string kind;
    while (lines >> kind) {
        ListedEntry entry;
        std::string name;
        lines >> entry.size >> entry.crc >> name;
        entry.folder = kind == "D";
        entry.name = widen(name);
        entries.push_back(entry);
    }
    return entries;
}

uint32_t crcOf(const std::string &bytes)
{
    return static_cast<uint32_t>(
        ::crc32(0, reinterpret_cast<const Bytef *>(bytes.data()), static_cast<uInt>(bytes.size())));
}

bool isFolder(const std::wstring &path)
{
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

struct Extracted {
    bool succeeded = false;
    uint32_t code = 0;
    int32_t zipCode = 0;
    DWORD lastError = 0;
};

constexpr unsigned kDefaultThreads = 0;
constexpr uint64_t kMiB = 1024 * 1024;

Extracted extract(const std::wstring &archive, const std::wstring &destination, ExtractResult result = {},
                  unsigned threads = kDefaultThreads)
{
    Extracted extracted;
    ::SetLastError(0);
    extracted.succeeded = threads == kDefaultThreads ? extractArchive(result, archive, destination)
                                                     : extractArchiveOnThreads(result, archive, destination, threads);
    extracted.lastError = ::GetLastError();
    extracted.code = result.code;
    extracted.zipCode = result.zipCode;
    return extracted;
}

// The same tests on one thread (the calling thread alone) and on several.
class ExtractionOnThreads : public testing::TestWithParam<unsigned> {
protected:
    [[nodiscard]] unsigned threads() const { return GetParam(); }
    [[nodiscard]] Extracted extractHere(const std::wstring &archive, const std::wstring &destination,
                                        ExtractResult result = {}) const
    {
        return extract(archive, destination, std::move(result), threads());
    }
};

TEST_P(ExtractionOnThreads, PackagesUnpackToTheirListingWithProgressRisingToTheTotal)
{
    const struct {
        std::wstring archive;
        const wchar_t *listing;
    } packages[] = {{testsupport::kSamplePackage, L"sample-package.listing"},
                    {packageFixture(L"many-files.zip"), L"many-files.listing"}};
    for (const auto &package : packages) {
        SCOPED_TRACE(testing::PrintToString(package.archive));
        const std::vector<ListedEntry> listing = packageListing(package.listing);
        ASSERT_GT(listing.size(), 10u);
        uint64_t expectedTotal = 0;
        for (const ListedEntry &entry : listing) {
            expectedTotal += entry.folder ? 0 : entry.size;
        }

        TempFolder destination;
        std::vector<int64_t> totals;
        uint64_t lastDone = 0;
        bool doneRose = true;
        ExtractResult result;
        result.progress = [&](int64_t total, uint64_t done) {
            totals.push_back(total);
            // On one thread every call follows a block written; the calling
            // thread of several reports at intervals, maybe twice the same.
            doneRose = doneRose && (threads() == 1 ? done > lastDone : done >= lastDone);
            lastDone = done;
            return false;
        };
        const Extracted extracted = extractHere(package.archive, destination.path(), result);
        ASSERT_TRUE(extracted.succeeded) << extracted.code << " " << extracted.zipCode << " " << extracted.lastError;

        ASSERT_FALSE(totals.empty());
        for (int64_t total : totals) {
            ASSERT_EQ(total, static_cast<int64_t>(expectedTotal));
        }
        EXPECT_TRUE(doneRose);
        EXPECT_EQ(lastDone, expectedTotal);

        for (const ListedEntry &entry : listing) {
            const std::wstring path = destination.path() + L"\\" + entry.name;
            if (entry.folder) {
                EXPECT_TRUE(isFolder(path)) << testing::PrintToString(path);
                continue;
            }
            const auto bytes = testsupport::readFile(path);
            ASSERT_TRUE(bytes.has_value()) << testing::PrintToString(path);
            EXPECT_EQ(bytes->size(), entry.size);
            EXPECT_EQ(crcOf(*bytes), entry.crc) << testing::PrintToString(path);
        }
        // Nothing besides.
        EXPECT_EQ(installer::directorySize(destination.path()), expectedTotal);
    }
}

TEST_P(ExtractionOnThreads, WithoutCallbackUnpacksTheSameFiles)
{
    TempFolder destination;
    ASSERT_TRUE(extractHere(testsupport::kSamplePackage, destination.path()).succeeded);
    for (const ListedEntry &entry : packageListing(L"sample-package.listing")) {
        EXPECT_TRUE(testsupport::fileExists(destination.path() + L"\\" + entry.name));
    }
}

TEST_P(ExtractionOnThreads, Bzip2EntryUnpacksToItsOriginalBytes)
{
    TempFolder destination;
    ASSERT_TRUE(extractHere(packageFixture(L"bzip2-entry.zip"), destination.path()).succeeded);
    const auto expected = testsupport::readFile(packageFixture(L"bzip2-entry.expected"));
    const auto unpacked = testsupport::readFile(destination.file(L"payload.bin"));
    ASSERT_TRUE(expected.has_value());
    ASSERT_TRUE(unpacked.has_value());
    EXPECT_EQ(unpacked->size(), expected->size());
    EXPECT_TRUE(*unpacked == *expected);
}

TEST_P(ExtractionOnThreads, CancelInTheLastBlockStillCancels)
{
    TempFolder destination;
    int calls = 0;
    ExtractResult result;
    result.progress = [&](int64_t total, uint64_t done) {
        ++calls;
        return static_cast<uint64_t>(total) == done;
    };
    const Extracted extracted = extractHere(testsupport::kSamplePackage, destination.path(), result);
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractCancelled);
    EXPECT_EQ(extracted.zipCode, 0);
    EXPECT_NE(extracted.lastError, static_cast<DWORD>(ERROR_DISK_FULL));
    EXPECT_GE(calls, 1);
}

TEST_P(ExtractionOnThreads, CancelInTheFirstCallStopsAtOnce)
{
    TempFolder destination;
    int calls = 0;
    ExtractResult result;
    result.progress = [&](int64_t, uint64_t) {
        ++calls;
        return true;
    };
    const Extracted extracted = extractHere(testsupport::kSamplePackage, destination.path(), result);
    EXPECT_EQ(extracted.code, package::kExtractCancelled);
    EXPECT_EQ(calls, 1);
    if (threads() == 1) {
        EXPECT_FALSE(testsupport::fileExists(destination.path() + L"\\Kestrune\\KestruneLauncher.exe"));
    }
}

// 256 MiB of zeros in four files, stopped after 8 MiB: every thread notices
// the stop after the block it is writing, not at the end of its file.
TEST_P(ExtractionOnThreads, StopEndsEveryThreadAfterItsBlock)
{
    TempFolder destination;
    uint64_t onDiskAtStop = 0;
    std::chrono::steady_clock::time_point stoppedAt;
    ExtractResult result;
    result.progress = [&](int64_t, uint64_t done) {
        if (done < 8 * kMiB) {
            return false;
        }
        onDiskAtStop = installer::directorySize(destination.path());
        stoppedAt = std::chrono::steady_clock::now();
        return true;
    };
    const Extracted extracted = extractHere(packageFixture(L"large-zeros.zip"), destination.path(), result);
    const auto afterStop = std::chrono::steady_clock::now() - stoppedAt;
    EXPECT_EQ(extracted.code, package::kExtractCancelled);
    const uint64_t onDisk = installer::directorySize(destination.path());
    if (threads() == 1) {
        EXPECT_EQ(onDisk, onDiskAtStop);
    }
    EXPECT_LT(onDisk - onDiskAtStop, 32 * kMiB) << "of 248 MiB left";
    EXPECT_LT(afterStop, std::chrono::seconds(1));
}

// An entry whose bytes disagree with its CRC or its stated length is a read
// failure, never a short or a long file.
TEST_P(ExtractionOnThreads, EntryDisagreeingWithItsRecordIsReportedAsReadFailure)
{
    const struct {
        const wchar_t *fixture;
        int zipCode;
        DWORD lastError;
    } cases[] = {
        {L"wrong-crc.zip", UNZ_CRCERROR, ERROR_CRC},
        {L"bzip2-wrong-crc.zip", UNZ_CRCERROR, ERROR_CRC},
        {L"short-deflate.zip", UNZ_BADZIPFILE, ERROR_INVALID_DATA},
        {L"bzip2-cut.zip", UNZ_BADZIPFILE, ERROR_INVALID_DATA},
        {L"bzip2-longer.zip", UNZ_BADZIPFILE, ERROR_INVALID_DATA},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(testing::PrintToString(row.fixture));
        TempFolder destination;
        const Extracted extracted = extractHere(packageFixture(row.fixture), destination.path());
        EXPECT_FALSE(extracted.succeeded);
        EXPECT_EQ(extracted.code, package::kExtractReadEntry);
        EXPECT_EQ(extracted.zipCode, row.zipCode);
        EXPECT_EQ(extracted.lastError, row.lastError);
    }
}

// The damaged entry is the last one, written while other threads write
// theirs: its codes are reported, and the rollback leaves nothing.
TEST_P(ExtractionOnThreads, DamagedLateEntryFailsWithItsCodesAndRollsBackCompletely)
{
    TempFolder outer;
    const std::wstring destination = outer.file(L"install");
    ASSERT_TRUE(::CreateDirectoryW(destination.c_str(), nullptr));
    const Extracted extracted = extractHere(packageFixture(L"late-wrong-crc.zip"), destination);
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractReadEntry);
    EXPECT_EQ(extracted.zipCode, UNZ_CRCERROR);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_CRC));
    EXPECT_EQ(installer::removeDirectoryTree(destination), 0);
    EXPECT_FALSE(testsupport::fileExists(destination));
}

TEST_P(ExtractionOnThreads, FolderEntryOverAFileFailsWithAlreadyExists)
{
    TempFolder destination;
    ASSERT_TRUE(testsupport::writeFile(destination.file(L"Update"), "a file"));
    const Extracted extracted = extractHere(testsupport::kSamplePackage, destination.path());
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractCreateDirectory);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

// Needs drive T: to be a small volume (with-small-drive.sh); skipped otherwise.
TEST_P(ExtractionOnThreads, FullVolumeFailsWithDiskFull)
{
    if (!testsupport::fileExists(L"T:\\kestrune-small-drive")) {
        GTEST_SKIP() << "drive T: is not the small test volume";
    }
    const std::wstring destination = L"T:\\install";
    ASSERT_TRUE(::CreateDirectoryW(destination.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS);
    const Extracted extracted = extractHere(packageFixture(L"twelve-mib.zip"), destination);
    installer::removeDirectoryTree(destination);
    EXPECT_FALSE(extracted.succeeded);
    // Several threads may meet the full volume creating a file as well as
    // writing one; the Windows error decides the install error either way.
    if (threads() == 1) {
        EXPECT_EQ(extracted.code, package::kExtractWriteFile);
    }
    EXPECT_EQ(extracted.zipCode, 0);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_DISK_FULL));
}

INSTANTIATE_TEST_SUITE_P(Extraction, ExtractionOnThreads, testing::Values(1u, 4u));

TEST(Extraction, NamesDifferingOnlyInCaseGiveTheSameFileOnOneAndOnEightThreads)
{
    const auto expected = testsupport::readFile(packageFixture(L"case-collision.expected"));
    ASSERT_TRUE(expected);
    for (const unsigned threads : {1u, 8u}) {
        SCOPED_TRACE(threads);
        TempFolder destination;
        const Extracted extracted = extract(packageFixture(L"case-collision.zip"), destination.path(), {}, threads);
        ASSERT_TRUE(extracted.succeeded) << extracted.code << " " << extracted.lastError;
        const auto written = testsupport::readFile(destination.file(L"a.txt"));
        ASSERT_TRUE(written);
        EXPECT_EQ(crcOf(*written), crcOf(*expected)) << "the archive's later entry must win";
    }
}

TEST(Extraction, FilesInFoldersTheArchiveDoesNotListFailBeforeAnythingIsWritten)
{
    TempFolder destination;
    const Extracted extracted = extract(packageFixture(L"files-without-folders.zip"), destination.path());
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractCreateFile);
    EXPECT_EQ(extracted.zipCode, 0);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
    EXPECT_FALSE(testsupport::fileExists(destination.file(L"readme.txt")));
}

TEST(Extraction, FileInAParentOfAListedFolderIsWritten)
{
    TempFolder destination;
    const Extracted extracted = extract(packageFixture(L"parent-of-listed-folder.zip"), destination.path());
    EXPECT_TRUE(extracted.succeeded) << extracted.code << " " << extracted.lastError;
    EXPECT_TRUE(testsupport::fileExists(destination.file(L"docs\\readme.txt")));
}

TEST(Extraction, NamesWithoutUtf8FlagUseTheAnsiCodePage)
{
    TempFolder destination;
    ASSERT_TRUE(extract(packageFixture(L"cp437-name.zip"), destination.path()).succeeded);
    // The same bytes read through the code page, independently of the extractor.
    const char bytes[] = "caf\x82-s\x94t.txt";
    wchar_t expected[64] = {};
    ASSERT_GT(::MultiByteToWideChar(CP_ACP, 0, bytes, -1, expected, 64), 0);
    EXPECT_TRUE(testsupport::fileExists(destination.file(expected))) << "ANSI code page " << ::GetACP();
    if (::GetACP() == 1252) {
        EXPECT_TRUE(testsupport::fileExists(destination.file(L"caf\u201A-s\u201Dt.txt")));
    }
    EXPECT_TRUE(testsupport::fileExists(destination.file(L"utf8-\u00e9t\u00e9.txt")));
}

TEST(Extraction, InvalidUtf8NameFailsConversion)
{
    TempFolder destination;
    const Extracted extracted = extract(packageFixture(L"invalid-utf8-name.zip"), destination.path());
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractConvertName);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
}

class UnsafeNames : public testing::TestWithParam<const wchar_t *> {};

TEST_P(UnsafeNames, AreRefusedBeforeAnythingLeavesTheDestination)
{
    TempFolder outer;
    const std::wstring destination = outer.file(L"a\\b");
    ASSERT_TRUE(::CreateDirectoryW(outer.file(L"a").c_str(), nullptr));
    ASSERT_TRUE(::CreateDirectoryW(destination.c_str(), nullptr));

    const Extracted extracted = extract(packageFixture(std::wstring(L"unsafe-") + GetParam() + L".zip"), destination);
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractUnsafeName);
    EXPECT_EQ(extracted.zipCode, 0);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_INVALID_NAME));
    // Refused while the archive is read, before anything is written.
    EXPECT_FALSE(testsupport::fileExists(destination + L"\\harmless.txt"));
    EXPECT_FALSE(testsupport::fileExists(outer.file(L"a\\escaped.txt")));
    EXPECT_FALSE(testsupport::fileExists(outer.file(L"a\\escaped")));
    EXPECT_FALSE(testsupport::fileExists(outer.file(L"escaped.txt")));
    EXPECT_FALSE(testsupport::fileExists(L"C:\\escaped.txt"));
    EXPECT_FALSE(testsupport::fileExists(destination + L"\\.. \\escaped.txt"));
    EXPECT_FALSE(testsupport::fileExists(destination + L"\\...\\escaped.txt"));
}

INSTANTIATE_TEST_SUITE_P(Extraction, UnsafeNames,
                         testing::Values(L"parent", L"parent-backslash", L"nested-parent", L"parent-with-space",
                                         L"three-dots", L"root-slash", L"root-backslash", L"drive", L"drive-relative",
                                         L"unc", L"stream", L"parent-folder", L"device", L"trailing-dot", L"control"));

// The long name is 150 characters: the target is the destination, a
// backslash and the name.
std::wstring destinationOfLength(const TempFolder &base, size_t length)
{
    std::wstring destination = base.path() + L"\\";
    destination.append(length - destination.size(), L'd');
    ::CreateDirectoryW(destination.c_str(), nullptr);
    return destination;
}

TEST(Extraction, TargetOf259CharactersIsWritten)
{
    TempFolder base;
    const std::wstring destination = destinationOfLength(base, 259 - 1 - 150);
    ASSERT_TRUE(isFolder(destination));
    const Extracted extracted = extract(packageFixture(L"long-name.zip"), destination);
    EXPECT_TRUE(extracted.succeeded) << extracted.code << " " << extracted.lastError;
    EXPECT_TRUE(testsupport::fileExists(destination + L"\\" + std::wstring(146, L'n') + L".txt"));
}

TEST(Extraction, TargetLongerThan259CharactersIsRefusedNotCut)
{
    TempFolder base;
    const std::wstring destination = destinationOfLength(base, 260 - 1 - 150);
    const Extracted extracted = extract(packageFixture(L"long-name.zip"), destination);
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractCreateFile);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
    WIN32_FIND_DATAW found = {};
    win32lib::UniqueFindHandle search(::FindFirstFileW((destination + L"\\*.*").c_str(), &found));
    size_t entries = 0;
    if (search) {
        do {
            ++entries;
        } while (::FindNextFileW(search.get(), &found));
    }
    EXPECT_EQ(entries, 2u) << "only . and ..";
}

TEST(Extraction, NameLongerThanItsBufferIsRefusedNotCut)
{
    TempFolder destination;
    const Extracted extracted = extract(packageFixture(L"very-long-name.zip"), destination.path());
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractCreateFile);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_FILENAME_EXCED_RANGE));
}

TEST(Extraction, MissingArchiveFailsToOpenWithTheWindowsError)
{
    TempFolder destination;
    const Extracted extracted = extract(destination.file(L"missing.zip"), destination.path());
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractOpenArchive);
    EXPECT_EQ(extracted.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
}

TEST(Extraction, FileThatIsNoArchiveFailsToOpen)
{
    TempFolder destination;
    ASSERT_TRUE(testsupport::writeFile(destination.file(L"not-a.zip"), std::string(5000, 'x')));
    const Extracted extracted = extract(destination.file(L"not-a.zip"), destination.path());
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractOpenArchive);
}

// An archive without entries installs nothing: it must not pass as success.
TEST(Extraction, EmptyArchiveIsRefused)
{
    TempFolder destination;
    int calls = 0;
    ExtractResult result;
    result.progress = [&](int64_t, uint64_t) {
        ++calls;
        return false;
    };
    const Extracted extracted = extract(packageFixture(L"empty.zip"), destination.path(), result);
    EXPECT_FALSE(extracted.succeeded);
    EXPECT_EQ(extracted.code, package::kExtractOpenArchive);
    EXPECT_EQ(calls, 0);
}

// Needs the links with-links.sh plants in C:\kestrune-links (Unix links in
// the prefix, which Windows programs see as reparse points); skipped otherwise.
TEST(ExtractionLinks, LinksInTheDestinationAreRefusedAndRollbackLeavesTheirTargets)
{
    const std::wstring root = L"C:\\kestrune-links";
    const std::wstring victim = root + L"\\outside\\victim.txt";
    if (!testsupport::fileExists(victim)) {
        GTEST_SKIP() << "no links planted";
    }
    const struct {
        const wchar_t *archive;
        const wchar_t *destination;
        uint32_t code;
    } cases[] = {{L"into-linked-folder.zip", L"folder-link", package::kExtractCreateDirectory},
                 {L"into-linked-parent.zip", L"parent-link", package::kExtractCreateFile},
                 {L"into-linked-folder.zip", L"destination-link", package::kExtractCreateDirectory}};
    for (const auto &link : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(link.destination)));
        const std::wstring destination = root + L"\\" + link.destination;
        ASSERT_NE(::GetFileAttributesW(destination.c_str()), INVALID_FILE_ATTRIBUTES);
        const Extracted extracted = extract(packageFixture(link.archive), destination);
        EXPECT_FALSE(extracted.succeeded);
        EXPECT_EQ(extracted.code, link.code);
        EXPECT_EQ(extracted.zipCode, 0);
        EXPECT_EQ(extracted.lastError, package::kErrorLinkInDestination);
        EXPECT_FALSE(testsupport::fileExists(destination + L"\\harmless.txt"));
        EXPECT_FALSE(testsupport::fileExists(root + L"\\outside\\escaped.txt"));
        EXPECT_FALSE(testsupport::fileExists(root + L"\\outside\\harmless.txt"));

        installer::removeDirectoryTree(destination);
        EXPECT_TRUE(testsupport::fileExists(victim));
    }
}

} // namespace
