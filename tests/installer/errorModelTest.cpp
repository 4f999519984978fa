#include "installer/errorModel.h"
#include "kestrune/config.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using installer::errorTexts;

std::string narrow(const std::wstring &text)
{
    return std::string(text.begin(), text.end());
}

TEST(ErrorTexts, FreeSpaceNamesWholeMegabytesAndTheDrive)
{
    const auto texts = errorTexts(20004, 125829120, L"D:\\Games\\Kestrune Software");
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->title, L"No Free Space on Disk");
    EXPECT_EQ(texts->text, L"Please, free at least 120MB on disk D: and try again.");
}

TEST(ErrorTexts, FreeSpaceDropsTheRemainderAndKeepsSizesAbove4GiB)
{
    EXPECT_EQ(errorTexts(20004, 125829120 + 1048575, L"C:\\x")->text,
              L"Please, free at least 120MB on disk C: and try again.");
    EXPECT_EQ(errorTexts(20004, 6LL * 1024 * 1024 * 1024, L"C:\\x")->text,
              L"Please, free at least 6144MB on disk C: and try again.");
    EXPECT_EQ(installer::requiredSpaceText(3LL * 1024 * 1024 * 1024 * 1024), L"3145728MB");
}

TEST(ErrorTexts, DiskFullDuringDownloadAsksForAtLeastOneMegabyte)
{
    // The record then carries the Windows error 112 instead of a size.
    EXPECT_EQ(errorTexts(20004, 112, L"E:\\Kestrune")->text, L"Please, free at least 1MB on disk E: and try again.");
    EXPECT_EQ(installer::requiredSpaceText(-1), L"1MB");
}

TEST(ErrorTexts, CreateDestinationShowsCodeAndBracketedDestination)
{
    const auto texts = errorTexts(20001, 5, L"C:\\Program Files\\Kestrune Software");
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->title, L"Could not create destination directory");
    EXPECT_EQ(texts->text, L"Please, check that destination directory does not already exist or try changing it "
                           L"(code 0x5).\n[C:\\Program Files\\Kestrune Software]");
    EXPECT_FALSE(texts->linkHost);
}

TEST(ErrorTexts, CodeZeroPrintsWithoutPrefixAndTrailingBackslashCodeIs0x57)
{
    EXPECT_EQ(errorTexts(20011, 0, L"")->text, L"Please, check your internet connection (code 0).");
    EXPECT_NE(errorTexts(20001, 87, L"C:\\x\\")->text.find(L"(code 0x57)"), std::wstring::npos);
}

TEST(ErrorTexts, UpdaterExitCodeShowsIdAndCodeInHex)
{
    const auto texts = errorTexts(20061, 3, L"C:\\x");
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->title, L"Unexpected Error");
    EXPECT_EQ(texts->text, L"Unexpected error occured during installation (code 0x4e5d/0x3).\n"
                           L"Please, try again later or contact support.");
}

TEST(ErrorTexts, EveryShownIdHasItsTitleAndFilledText)
{
    struct Row {
        uint16_t id;
        int64_t value;
        const wchar_t *title;
        const wchar_t *text;
    };
    const std::wstring destination = L"F:\\Music Player";
    const Row rows[] = {
        {20002, 0, L"Destination directory is not empty",
         L"Please, remove all files inside destination directory and try again.\n[F:\\Music Player]"},
        {20003, 5, L"Destination directory is not writable",
         L"Please, close all other programs which might interfere with install process and try again.\n"
         L"[F:\\Music Player]"},
        {20005, 0x70, L"Disk Write Error",
         L"Could not write data to disk F: (code 0x70).\nPlease, close all applications which might interfere "
         L"(e.g Antivirus software) and try again."},
        {20006, 5, L"Unexpected Error",
         L"Unexpected error occured during installation (code 0x4e26/0x5).\nPlease, try again later or contact "
         L"support."},
        {20011, 12029, L"Internet Connection Error", L"Please, check your internet connection (code 0x2efd)."},
        {20012, 0, L"Download Error", L"Download was interrupted for an unknown reason. Please, try again."},
        {20020, 404, L"Unexpected Error",
         L"Unexpected error occured during installation (code 0x4e34/0x194).\nPlease, try again later or contact "
         L"support."},
        {20021, 0, L"Unexpected Error",
         L"Unexpected error occured during installation (code 0x4e35/0).\nPlease, try again later or contact "
         L"support."},
        {20022, 12007, L"Server Connection Error",
         L"Installation server is unreachable (code 0x4e36/0x2ee7).\nPlease, wait some time and try again."},
        {20024, 503, L"Server is busy",
         L"Installation server is currently busy. Please, wait some time and try again."},
        {20025, 1, L"Unexpected Error",
         L"Unexpected error occured during installation (code 0x4e39/0x1).\nPlease, try again later or contact "
         L"support."},
        {20040, 0xfde8, L"Archive File Error",
         L"Downloaded archive file could not be decompressed (code 0xfde8).\nPlease, close all applications which "
         L"might interfere (e.g Antivirus software) and try again."},
        {20060, 2, L"Unexpected Error",
         L"Unexpected error occured during installation (code 0x4e5c/0x2).\nPlease, try again later or contact "
         L"support."},
    };
    for (const Row &row : rows) {
        const auto texts = errorTexts(row.id, row.value, destination);
        ASSERT_TRUE(texts) << row.id;
        EXPECT_EQ(texts->title, row.title) << row.id;
        EXPECT_EQ(texts->text, row.text) << row.id;
        EXPECT_FALSE(texts->linkHost) << row.id;
    }
}

TEST(ErrorTexts, OutdatedInstallerNamesAndLinksTheSite)
{
    const auto texts = errorTexts(20023, 465, L"C:\\x");
    ASSERT_TRUE(texts);
    EXPECT_EQ(texts->title, L"Outdated Installer");
    const std::wstring expected =
        std::wstring(L"Current version of installer is outdated.\nPlease, download a fresh one from ") +
        KESTRUNE_SITE_HOST + L".";
    EXPECT_EQ(texts->text, expected);
    ASSERT_TRUE(texts->linkHost);
    EXPECT_EQ(*texts->linkHost, KESTRUNE_SITE_HOST);
}

TEST(ErrorTexts, IdsThePageDoesNotShowGiveNothing)
{
    for (uint16_t id : {0, 1, 20000, 20007, 20013, 20030, 20062, 20100, 20103, 20104, 65001}) {
        EXPECT_FALSE(errorTexts(id, 0, L"C:\\x")) << id;
    }
}

TEST(ErrorTexts, FormattedTextIsCutTo1023Characters)
{
    const std::wstring destination = L"C:\\" + std::wstring(2000, L'd');
    const auto texts = errorTexts(20002, 0, destination);
    ASSERT_TRUE(texts);
    ASSERT_EQ(texts->text.size(), installer::kErrorTextLimit);
    const std::wstring prefix = L"Please, remove all files inside destination directory and try again.\n[C:\\ddd";
    EXPECT_EQ(texts->text.compare(0, prefix.size(), prefix), 0) << narrow(texts->text.substr(0, 100));
    EXPECT_EQ(texts->text.back(), L'd');
}

} // namespace
