// Wine keeps no DACL on a folder (it reads back one made from the Unix mode
// bits), so the protection is checked as the descriptor handed to Windows and
// the result of handing it over.

#include "installer/fileSystem.h"
#include "installer/folderSecurity.h"
#include "tests/support/process.h"

#include "win32lib/UniqueResource.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>
#include <windows.h>

#include <string>

namespace {

using testsupport::TempFolder;

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

std::wstring sddlOf(PSECURITY_DESCRIPTOR descriptor)
{
    win32lib::UniqueLocalMemory text;
    if (!::ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                                OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                                                reinterpret_cast<LPWSTR *>(text.put()), nullptr)) {
        return L"error " + std::to_wstring(::GetLastError());
    }
    return static_cast<const wchar_t *>(text.get());
}

std::wstring programFiles()
{
    win32lib::UniqueCoTaskMem<wchar_t> folder;
    if (FAILED(::SHGetKnownFolderPath(FOLDERID_ProgramFiles, 0, nullptr, folder.put()))) {
        return {};
    }
    return folder.get();
}

TEST(FolderSecurity, ProtectionIsProgramFilesDaclOwnedByAdministrators)
{
    installer::ProtectedFolderSecurity security;
    ASSERT_TRUE(security.valid());
    EXPECT_TRUE(::IsValidSecurityDescriptor(security.descriptor()));
    EXPECT_EQ(narrow(sddlOf(security.descriptor())), "O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)");
    EXPECT_FALSE(installer::grantsWriteToNonAdministrators(security.descriptor()));
}

TEST(FolderSecurity, ApplyingItSucceedsOnAFolderAndReportsAMissingOne)
{
    TempFolder folder;
    installer::ProtectedFolderSecurity security;
    EXPECT_EQ(security.applyTo(folder.path()), static_cast<DWORD>(ERROR_SUCCESS));
    const DWORD missing = security.applyTo(folder.file(L"missing"));
    EXPECT_TRUE(missing == ERROR_FILE_NOT_FOUND || missing == ERROR_PATH_NOT_FOUND) << missing;

    EXPECT_FALSE(installer::secureFoundFolder(folder.file(L"missing")));
}

// Wine keeps no descriptor, so what a folder is created with cannot be read
// back here: the descriptor itself is checked above.
TEST(FolderSecurity, ProtectedTreeIsCreatedFolderByFolderAndNeverOverAnExistingOne)
{
    TempFolder folder;
    std::wstring created;
    ASSERT_TRUE(installer::createProtectedDirectoryTree(folder.file(L"a\\b/c"), created));
    EXPECT_EQ(created, folder.file(L"a"));
    EXPECT_TRUE(installer::isDirectory(folder.file(L"a\\b\\c")));

    created.clear();
    EXPECT_FALSE(installer::createProtectedDirectoryTree(folder.file(L"a\\b\\c"), created));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(installer::createProtectedDirectoryTree(folder.file(L"a\\"), created));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(created.empty());
}

TEST(FolderSecurity, OnlyFoldersOfAdministratorsOrSystemAreTakenOver)
{
    const struct {
        const wchar_t *sddl;
        bool mayTakeOver;
    } cases[] = {
        {L"O:BAD:(A;;FA;;;BU)", true},
        {L"O:SYD:(A;;FA;;;BU)", true},
        {L"O:BUD:(A;;FA;;;BA)", false},
        {L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)", false},
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464", false},
        {L"D:(A;;FA;;;BA)", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(narrow(c.sddl));
        win32lib::UniqueLocalMemory descriptor;
        ASSERT_TRUE(
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, descriptor.put(), nullptr));
        EXPECT_EQ(installer::mayTakeOverOwner(descriptor.get()), c.mayTakeOver);
    }
}

TEST(FolderSecurity, WritableByNonAdministrators)
{
    const struct {
        const wchar_t *sddl;
        bool writable;
    } cases[] = {
        // Program Files as Windows 10 has it.
        {L"O:S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464"
         L"D:PAI(A;;FA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)"
         L"(A;OICIIO;GA;;;S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464)(A;;0x1301bf;;;SY)"
         L"(A;OICIIO;GA;;;SY)(A;;0x1301bf;;;BA)(A;OICIIO;GA;;;BA)(A;;0x1200a9;;;BU)(A;OICIIO;GXGR;;;BU)"
         L"(A;OICIIO;GA;;;CO)(A;;0x1200a9;;;S-1-15-2-1)(A;OICIIO;GXGR;;;S-1-15-2-1)",
         false},
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;FR;;;WD)", false},
        {L"O:BAD:P(D;OICI;FA;;;WD)(A;OICI;FA;;;SY)", false},
        {L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", false},
        // A folder made in the root of C: by an administrator.
        {L"O:BAD:AI(A;OICIID;FA;;;BA)(A;OICIID;FA;;;SY)(A;OICIID;0x1200a9;;;BU)(A;ID;0x1301bf;;;AU)"
         L"(A;OICIIOID;SDGXGWGR;;;AU)",
         true},
        // The root of C: itself: Authenticated Users may create folders.
        {L"O:SYD:PAI(A;OICI;FA;;;BA)(A;OICI;FA;;;SY)(A;OICI;0x1200a9;;;BU)(A;;0x4;;;AU)", true},
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICIIO;GW;;;BU)", true},
        {L"O:BAD:P(A;OICI;FA;;;SY)(A;OICI;WD;;;BU)", true},
        {L"O:S-1-5-21-1-2-3-1001D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(narrow(c.sddl));
        win32lib::UniqueLocalMemory descriptor;
        ASSERT_TRUE(
            ::ConvertStringSecurityDescriptorToSecurityDescriptorW(c.sddl, SDDL_REVISION_1, descriptor.put(), nullptr))
            << ::GetLastError();
        EXPECT_EQ(installer::grantsWriteToNonAdministrators(descriptor.get()), c.writable);
    }
    // No DACL, or a null one ("NO_ACCESS_CONTROL", which Wine's parser reads
    // as an empty one): everyone may do everything.
    for (const BOOL present : {FALSE, TRUE}) {
        SECURITY_DESCRIPTOR open = {};
        ASSERT_TRUE(::InitializeSecurityDescriptor(&open, SECURITY_DESCRIPTOR_REVISION));
        ASSERT_TRUE(::SetSecurityDescriptorDacl(&open, present, nullptr, FALSE));
        EXPECT_TRUE(installer::grantsWriteToNonAdministrators(&open));
    }
}

TEST(FolderSecurity, InsideFolderComparesWholeSegmentsWithoutCase)
{
    const struct {
        const wchar_t *path;
        const wchar_t *folder;
        bool inside;
    } cases[] = {
        {L"C:\\Program Files\\Kestrune Software", L"C:\\Program Files", true},
        {L"c:\\PROGRAM FILES\\Kestrune Software", L"C:\\Program Files\\", true},
        {L"C:\\Program Files", L"C:\\Program Files", true},
        {L"C:\\Program Files (x86)\\Kestrune Software", L"C:\\Program Files", false},
        {L"C:\\Program FilesX", L"C:\\Program Files", false},
        {L"C:\\Program", L"C:\\Program Files", false},
        {L"D:\\Program Files\\Kestrune Software", L"C:\\Program Files", false},
        {L"C:\\Kestrune Software", L"", false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(narrow(c.path));
        EXPECT_EQ(installer::isInsideFolder(c.path, c.folder), c.inside);
    }

    const std::wstring programFolder = programFiles();
    ASSERT_FALSE(programFolder.empty());
    EXPECT_TRUE(installer::isInsideProgramFiles(programFolder + L"\\Kestrune Software"));
    EXPECT_FALSE(installer::isInsideProgramFiles(programFolder + L"\\..\\Kestrune Software"));
    EXPECT_FALSE(installer::isInsideProgramFiles(programFolder.substr(0, 3) + L"Kestrune Software"));
}

TEST(FolderSecurity, FirstMissingFolderIsTheHighestOneTheTreeCreates)
{
    TempFolder folder;
    EXPECT_EQ(installer::firstMissingFolder(folder.path()), L"");
    EXPECT_EQ(installer::firstMissingFolder(folder.file(L"a")), folder.file(L"a"));
    EXPECT_EQ(installer::firstMissingFolder(folder.file(L"a\\b\\c")), folder.file(L"a"));
    EXPECT_EQ(installer::firstMissingFolder(folder.path() + L"/a/b"), folder.path() + L"/a");
}

} // namespace
