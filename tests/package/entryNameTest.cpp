#include "package/entryName.h"

#include <gtest/gtest.h>

#include <windows.h>

namespace {

TEST(EntryName, SafeNamesStayInsideTheDestination)
{
    for (const wchar_t *name : {L"Update/KestruneUpdater.exe", L"Kestrune/1.0.5.0/", L"a\\b\\c.txt", L"file",
                                L"dots..inside/name.txt", L"..name", L"name..txt", L".hidden/file", L"a//b",
                                L"console/", L"nullable.txt", L"COM10.txt", L"LPT.txt", L"auxiliary/file"}) {
        EXPECT_TRUE(package::isSafeEntryName(name)) << testing::PrintToString(std::wstring(name));
    }
}

TEST(EntryName, NamesThatCouldLeaveTheDestinationAreUnsafe)
{
    for (const wchar_t *name : {L"",
                                L"../x",
                                L"..\\x",
                                L"a/../../x",
                                L"a/..",
                                L"..",
                                L".. /x",
                                L"... /x",
                                L".../x",
                                L"./x",
                                L"a/./b",
                                L"/x",
                                L"\\x",
                                L"\\\\server\\share\\x",
                                L"\\\\?\\C:\\x",
                                L"//server/share/x",
                                L"C:/x",
                                L"C:x",
                                L"c:\\x",
                                L"file:stream",
                                L"a/b:c/d",
                                L"NUL",
                                L"nul.txt",
                                L"a/CON",
                                L"Con .log",
                                L"aux/file",
                                L"COM1",
                                L"lpt9.dat",
                                L"COM\u00B9",
                                L"CONOUT$",
                                L"name..",
                                L"name.",
                                L"folder./file",
                                L"folder /file",
                                L"file ",
                                L"tab\there",
                                L"line\nfeed/file",
                                L"unit\x1f.txt",
                                L"bell\x07"}) {
        EXPECT_FALSE(package::isSafeEntryName(name)) << testing::PrintToString(std::wstring(name));
    }
    // A NUL inside the stored name would cut it short in every C string.
    EXPECT_FALSE(package::isSafeEntryName(std::wstring_view(L"cut\0name.txt", 12)));
}

TEST(EntryName, FoldersEndWithEitherSeparator)
{
    EXPECT_TRUE(package::isDirectoryEntry(L"Update/"));
    EXPECT_TRUE(package::isDirectoryEntry(L"Update\\"));
    EXPECT_FALSE(package::isDirectoryEntry(L"Update"));
    EXPECT_FALSE(package::isDirectoryEntry(L""));
}

TEST(EntryName, ConversionFollowsTheUtf8Flag)
{
    std::wstring name;
    ASSERT_TRUE(package::convertEntryName("caf\xc3\xa9", true, name));
    EXPECT_EQ(name, L"caf\u00e9");
    EXPECT_FALSE(package::convertEntryName("bad\xc3\x28", true, name));
    EXPECT_EQ(::GetLastError(), static_cast<DWORD>(ERROR_NO_UNICODE_TRANSLATION));
    ASSERT_TRUE(package::convertEntryName("plain/name.txt", false, name));
    EXPECT_EQ(name, L"plain/name.txt");
    ASSERT_TRUE(package::convertEntryName("", false, name));
    EXPECT_TRUE(name.empty());
}

} // namespace
