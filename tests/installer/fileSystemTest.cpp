#include "installer/fileSystem.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>

#include <knownfolders.h>
#include <windows.h>

#include <string>

namespace {

using installer::createDirectoryTree;
using installer::tryCreateDirectoryTree;
using testsupport::TempFolder;

TEST(DirectoryTree, CreatesTwoMissingLevels)
{
    TempFolder folder;
    const std::wstring upper = folder.file(L"upper");
    const std::wstring lower = upper + L"\\lower";
    ASSERT_TRUE(tryCreateDirectoryTree(lower));
    EXPECT_TRUE(installer::isDirectory(upper));
    EXPECT_TRUE(installer::isDirectory(lower));
}

TEST(DirectoryTree, SplitsAtForwardSlashes)
{
    TempFolder folder;
    ASSERT_TRUE(tryCreateDirectoryTree(folder.path() + L"/one/two"));
    EXPECT_TRUE(installer::isDirectory(folder.file(L"one")));
    EXPECT_TRUE(installer::isDirectory(folder.file(L"one\\two")));
}

TEST(DirectoryTree, ExistingFolderIsAccepted)
{
    TempFolder folder;
    EXPECT_TRUE(tryCreateDirectoryTree(folder.path()));
}

TEST(DirectoryTree, FileInTheWayGives183)
{
    TempFolder folder;
    const std::wstring file = folder.file(L"destination");
    ASSERT_TRUE(testsupport::writeFile(file, "x"));
    ::SetLastError(0);
    EXPECT_FALSE(tryCreateDirectoryTree(file));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
}

TEST(DirectoryTree, FileInTheWayRaisesWithItsOwnText)
{
    TempFolder folder;
    const std::wstring file = folder.file(L"destination");
    ASSERT_TRUE(testsupport::writeFile(file, "x"));
    try {
        createDirectoryTree(file);
        FAIL() << "no error raised";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "Could not create directory because a file with the same name exists");
    }
}

TEST(DirectoryTree, FailedCreationRaisesAndKeepsTheSystemError)
{
    TempFolder folder;
    try {
        createDirectoryTree(folder.file(L"bad?name"));
        FAIL() << "no error raised";
    } catch (const std::runtime_error &error) {
        EXPECT_STREQ(error.what(), "CreateDirectory() call failed");
    }
    ::SetLastError(0);
    EXPECT_FALSE(tryCreateDirectoryTree(folder.file(L"bad?name")));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_NAME));
}

TEST(DirectoryTree, EmptyPathOrTrailingBackslashGives87)
{
    TempFolder folder;
    ::SetLastError(0);
    EXPECT_FALSE(tryCreateDirectoryTree(L""));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    ::SetLastError(0);
    EXPECT_FALSE(tryCreateDirectoryTree(folder.file(L"new\\")));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(installer::isDirectory(folder.file(L"new")));
}

TEST(RemoveDirectoryTree, DeletesReadOnlyFilesAndNestedFolders)
{
    TempFolder folder;
    const std::wstring root = folder.file(L"tree");
    ASSERT_TRUE(tryCreateDirectoryTree(root + L"\\a\\b"));
    const std::wstring readOnly = root + L"\\a\\b\\locked.txt";
    ASSERT_TRUE(testsupport::writeFile(readOnly, "data"));
    ASSERT_TRUE(::SetFileAttributesW(readOnly.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(testsupport::writeFile(root + L"\\top.txt", "data"));

    EXPECT_EQ(installer::removeDirectoryTree(root), 0);
    EXPECT_FALSE(testsupport::fileExists(root));
    EXPECT_TRUE(installer::isDirectory(folder.path()));
}

TEST(RemoveDirectoryTree, LeavesPathsLongerThan259AndEmptyPathsAlone)
{
    EXPECT_EQ(installer::removeDirectoryTree(L""), 0);
    TempFolder folder;
    const std::wstring longPath = folder.path() + L"\\" + std::wstring(300, L'x');
    EXPECT_EQ(installer::removeDirectoryTree(longPath), 0);
    EXPECT_TRUE(installer::isDirectory(folder.path()));
}

TEST(DirectorySize, SumsFilesOfAllLevels)
{
    TempFolder folder;
    ASSERT_TRUE(tryCreateDirectoryTree(folder.file(L"a\\b")));
    ASSERT_TRUE(testsupport::writeFile(folder.file(L"one"), std::string(1000, 'x')));
    ASSERT_TRUE(testsupport::writeFile(folder.file(L"a\\two"), std::string(2000, 'x')));
    ASSERT_TRUE(testsupport::writeFile(folder.file(L"a\\b\\three"), std::string(3000, 'x')));
    EXPECT_EQ(installer::directorySize(folder.path()), 6000u);
    EXPECT_EQ(installer::directorySize(folder.file(L"missing")), 0u);
}

TEST(DirectorySize, CountsFilesAbove4GiBInFull)
{
    TempFolder folder;
    const std::wstring large = folder.file(L"large.bin");
    {
        win32lib::UniqueFile file(
            ::CreateFileW(large.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        ASSERT_TRUE(file);
        LARGE_INTEGER size;
        size.QuadPart = 5LL * 1024 * 1024 * 1024 + 7;
        ASSERT_TRUE(::SetFilePointerEx(file.get(), size, nullptr, FILE_BEGIN));
        ASSERT_TRUE(::SetEndOfFile(file.get()));
    }
    ASSERT_TRUE(testsupport::writeFile(folder.file(L"small"), "abc"));
    EXPECT_EQ(installer::directorySize(folder.path()), 5ULL * 1024 * 1024 * 1024 + 10);
}

TEST(DirectorySize, DoesNotFollowLinkedFolders)
{
    TempFolder folder;
    ASSERT_TRUE(tryCreateDirectoryTree(folder.file(L"inner")));
    ASSERT_TRUE(testsupport::writeFile(folder.file(L"inner\\file"), std::string(100, 'x')));
    // A link back to the root: followed, the walk would never end.
    if (!::CreateSymbolicLinkW(folder.file(L"inner\\loop").c_str(), folder.path().c_str(),
                               SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        GTEST_SKIP() << "folder links unavailable here (error " << ::GetLastError() << ")";
    }
    ASSERT_NE(::GetFileAttributesW(folder.file(L"inner\\loop").c_str()) & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
    EXPECT_EQ(installer::directorySize(folder.path()), 100u);
    ::RemoveDirectoryW(folder.file(L"inner\\loop").c_str());
}

TEST(FolderQueries, DirectoryAndEmptiness)
{
    TempFolder folder;
    EXPECT_TRUE(installer::isDirectory(folder.path()));
    EXPECT_TRUE(installer::isDirectoryEmpty(folder.path()));
    ASSERT_TRUE(testsupport::writeFile(folder.file(L"f"), "x"));
    EXPECT_FALSE(installer::isDirectoryEmpty(folder.path()));
    EXPECT_FALSE(installer::isDirectory(folder.file(L"f")));
    EXPECT_FALSE(installer::isDirectory(folder.file(L"missing")));
    EXPECT_FALSE(installer::isDirectoryEmpty(folder.file(L"missing")));
}

TEST(FolderQueries, DriveOfPath)
{
    std::wstring drive = L"unchanged";
    ASSERT_TRUE(installer::driveOfPath(L"D:\\Games\\Kestrune", drive));
    EXPECT_EQ(drive, L"D:");
    ASSERT_TRUE(installer::driveOfPath(L"c:/x", drive));
    EXPECT_EQ(drive, L"c:");
    ASSERT_TRUE(installer::driveOfPath(L"\\\\server\\share\\x", drive));
    EXPECT_EQ(drive, L"");
}

TEST(FolderQueries, KnownFolderIsTheProgramFilesFolder)
{
    std::wstring path;
    ASSERT_TRUE(installer::knownFolderPath(FOLDERID_ProgramFiles, path));
    wchar_t expected[MAX_PATH] = {};
    ASSERT_NE(::ExpandEnvironmentStringsW(L"%ProgramFiles%", expected, MAX_PATH), 0u);
    EXPECT_EQ(_wcsicmp(path.c_str(), expected), 0) << std::string(path.begin(), path.end());
}

} // namespace
