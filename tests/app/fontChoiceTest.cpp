#include "app/fontChoice.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <string>

using Microsoft::WRL::ComPtr;

namespace {

class FontChoice : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_HRESULT_SUCCEEDED(::DWriteCreateFactory(DWRITE_FACTORY_TYPE_SHARED, __uuidof(IDWriteFactory),
                                                       reinterpret_cast<IUnknown **>(factory_.GetAddressOf())));
        ASSERT_HRESULT_SUCCEEDED(factory_->GetSystemFontCollection(&collection_, FALSE));
    }

    bool hasFamily(const wchar_t *name) const
    {
        UINT32 index = 0;
        BOOL exists = FALSE;
        return SUCCEEDED(collection_->FindFamilyName(name, &index, &exists)) && exists;
    }

    ComPtr<IDWriteFactory> factory_;
    ComPtr<IDWriteFontCollection> collection_;
};

TEST_F(FontChoice, TheShippedCandidatesPickAnInstalledFaceOfTheRequestedWeight)
{
    framework::text::FontDescription font;
    ASSERT_HRESULT_SUCCEEDED(app::chooseUiFont(factory_.Get(), font));
    EXPECT_TRUE(hasFamily(font.family));
    EXPECT_STREQ(font.locale, L"en-US");
    EXPECT_EQ(font.style, DWRITE_FONT_STYLE_NORMAL);
    EXPECT_EQ(font.stretch, DWRITE_FONT_STRETCH_NORMAL);
    // The test prefix registers Tahoma and has neither Calibri nor Segoe UI.
    if (!hasFamily(L"Calibri") && !hasFamily(L"Segoe UI") && hasFamily(L"Tahoma")) {
        EXPECT_STREQ(font.family, L"Tahoma");
        EXPECT_EQ(font.weight, DWRITE_FONT_WEIGHT_NORMAL);
    }
}

TEST_F(FontChoice, AFamilyWithoutTheRequestedWeightFallsThrough)
{
    ASSERT_TRUE(hasFamily(L"DejaVu Sans"));
    // DejaVu Sans has no weight-950 face: the closest match is read back with
    // another weight, so the next candidate wins.
    const app::FontCandidate candidates[] = {{L"DejaVu Sans", DWRITE_FONT_WEIGHT_ULTRA_BLACK},
                                             {L"DejaVu Sans", DWRITE_FONT_WEIGHT_BOLD}};
    framework::text::FontDescription font;
    ASSERT_HRESULT_SUCCEEDED(app::chooseUiFontFrom(collection_.Get(), candidates, font));
    EXPECT_STREQ(font.family, L"DejaVu Sans");
    EXPECT_EQ(font.weight, DWRITE_FONT_WEIGHT_BOLD);
}

TEST_F(FontChoice, NoCandidateMatchingTakesTheFirstFamilyWithAnEnglishName)
{
    const app::FontCandidate candidates[] = {{L"Calibri-Not-Installed", DWRITE_FONT_WEIGHT_LIGHT},
                                             {L"Segoe-Not-Installed", DWRITE_FONT_WEIGHT_NORMAL}};
    framework::text::FontDescription font;
    ASSERT_HRESULT_SUCCEEDED(app::chooseUiFontFrom(collection_.Get(), candidates, font));

    // The first family in collection order that has an en-US name.
    std::wstring expected;
    for (UINT32 i = 0; i < collection_->GetFontFamilyCount() && expected.empty(); ++i) {
        ComPtr<IDWriteFontFamily> family;
        ComPtr<IDWriteLocalizedStrings> names;
        ASSERT_HRESULT_SUCCEEDED(collection_->GetFontFamily(i, &family));
        ASSERT_HRESULT_SUCCEEDED(family->GetFamilyNames(&names));
        UINT32 index = 0;
        BOOL exists = FALSE;
        if (SUCCEEDED(names->FindLocaleName(L"en-US", &index, &exists)) && exists) {
            wchar_t name[256] = {};
            names->GetString(index, name, 256);
            expected = std::wstring(name).substr(0, 49);
        }
    }
    EXPECT_EQ(std::wstring(font.family), expected);
    EXPECT_EQ(font.weight, DWRITE_FONT_WEIGHT_NORMAL);
    EXPECT_STREQ(font.locale, L"en-US");
}

} // namespace
