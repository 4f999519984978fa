#include "app/resourceIds.h"
#include "app/strings.h"
#include "installer/errorPages.h"
#include "tests/support/paths.h"
#include "win32lib/UniqueResource.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <string>

namespace {

// The catalogue as shipped: read back from the built installer, not from the
// test program, so a resource left out of the program's link fails here.
class BuiltCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        module_.reset(::LoadLibraryExW(testsupport::kInstallerPath.c_str(), nullptr,
                                       LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
        ASSERT_TRUE(module_) << "cannot open "
                             << std::string(testsupport::kInstallerPath.begin(), testsupport::kInstallerPath.end());
    }

    std::wstring text(unsigned id) const
    {
        const wchar_t *direct = nullptr;
        const int length = ::LoadStringW(module_.get(), id, reinterpret_cast<wchar_t *>(&direct), 0);
        return length > 0 ? std::wstring(direct, static_cast<size_t>(length)) : std::wstring();
    }

    std::string rcdata(unsigned id) const
    {
        const HRSRC info = ::FindResourceW(module_.get(), MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(10));
        if (info == nullptr) {
            return "<absent>";
        }
        const auto *bytes = static_cast<const char *>(::LockResource(::LoadResource(module_.get(), info)));
        return std::string(bytes, ::SizeofResource(module_.get(), info));
    }

    win32lib::UniqueHModule module_;
};

TEST_F(BuiltCatalogue, EveryCatalogueIdIsPresentAndNoOtherInTheRange)
{
    const unsigned listed[] = {300,  301,  302,  303,  304,  305,  306,  307,  308,  309,  310,  311,
                               312,  313,  314,  315,  316,  318,  319,  320,  500,  501,  502,  504,
                               505,  1200, 1400, 1410, 1411, 1600, 1601, 1602, 1603, 1604, 1605, 1606,
                               1607, 1608, 1609, 1610, 1700, 1703, 1704, 1800, 1801};
    // The error page's texts are listed once, with the errors they belong to.
    const auto isErrorText = [](unsigned id) {
        return std::any_of(std::begin(installer::kErrorPages), std::end(installer::kErrorPages),
                           [id](const installer::ErrorPage &page) { return page.titleId == id || page.textId == id; });
    };
    for (unsigned id = 300; id <= 1801; ++id) {
        const bool isListed =
            std::find(std::begin(listed), std::end(listed), id) != std::end(listed) || isErrorText(id);
        EXPECT_EQ(isListed, !text(id).empty()) << "id " << id;
    }
}

TEST_F(BuiltCatalogue, CancelledTextUsesTypographicApostrophe)
{
    const std::wstring cancelled = text(app::ids::kCancelledText);
    EXPECT_NE(cancelled.find(L'\x2019'), std::wstring::npos);
    EXPECT_EQ(cancelled.find(L'\''), std::wstring::npos);
    EXPECT_EQ(cancelled, L"Installation didn\x2019t complete due to cancellation.");
}

TEST_F(BuiltCatalogue, LineBreaksAreSingleLineFeeds)
{
    EXPECT_EQ(text(300),
              L"Kestrune is already installed on your computer.\nYou can check for updates inside the program.");
    const std::wstring finished = text(308);
    EXPECT_EQ(std::count(finished.begin(), finished.end(), L'\n'), 2);
    EXPECT_EQ(finished.find(L'\r'), std::wstring::npos);
}

TEST_F(BuiltCatalogue, ErrorTextsCarryThePlaceholdersTheErrorPageFills)
{
    struct Expected {
        unsigned id;
        int hex;
        int wide;
    };
    const Expected table[] = {{401, 1, 0}, {403, 0, 2}, {405, 1, 1}, {407, 0, 1}, {409, 0, 1}, {411, 2, 0},
                              {413, 1, 1}, {415, 0, 0}, {417, 1, 0}, {419, 2, 0}, {421, 0, 1}, {423, 0, 0}};
    auto count = [](const std::wstring &s, const std::wstring &what) {
        int n = 0;
        for (size_t at = s.find(what); at != std::wstring::npos; at = s.find(what, at + 1)) {
            ++n;
        }
        return n;
    };
    for (const Expected &e : table) {
        const std::wstring t = text(e.id);
        EXPECT_EQ(count(t, L"%#x"), e.hex) << e.id;
        EXPECT_EQ(count(t, L"%ls"), e.wide) << e.id;
        EXPECT_EQ(count(t, L"%"), e.hex + e.wide) << e.id;
    }
}

TEST_F(BuiltCatalogue, IdentifiersAreUtf8WithoutTerminator)
{
    EXPECT_EQ(rcdata(app::ids::kCampaignId), "1000");
    EXPECT_EQ(rcdata(app::ids::kChannelId), "1");
}

TEST(Catalogue, LoadStringCutsAt249Characters)
{
    const std::wstring text = app::loadString(9999);
    ASSERT_EQ(text.size(), 249u);
    EXPECT_EQ(text.substr(0, 10), L"0123456789");
}

TEST(Catalogue, LoadStringOfMissingIdIsEmpty)
{
    EXPECT_TRUE(app::loadString(317).empty());
}

TEST(Catalogue, LoadResourceTextReadsIdentifiers)
{
    std::wstring campaign;
    std::wstring channel;
    ASSERT_TRUE(app::loadResourceText(app::ids::kCampaignId, campaign));
    ASSERT_TRUE(app::loadResourceText(app::ids::kChannelId, channel));
    EXPECT_EQ(campaign, L"1000");
    EXPECT_EQ(channel, L"1");
}

TEST(Catalogue, LoadResourceTextOfAbsentIdLeavesOutputUnchanged)
{
    std::wstring out = L"unchanged";
    EXPECT_FALSE(app::loadResourceText(112, out));
    EXPECT_EQ(out, L"unchanged");
}

} // namespace
