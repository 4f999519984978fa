#include "app/fontChoice.h"

#include "app/resourceIds.h"
#include "app/strings.h"

#include <gtest/gtest.h>

#include <wrl/client.h>

#include <algorithm>
#include <iterator>
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

    // The regular face of a family, or null.
    ComPtr<IDWriteFont> regularFace(const wchar_t *name) const
    {
        UINT32 index = 0;
        BOOL exists = FALSE;
        ComPtr<IDWriteFontFamily> family;
        ComPtr<IDWriteFont> face;
        if (FAILED(collection_->FindFamilyName(name, &index, &exists)) || !exists ||
            FAILED(collection_->GetFontFamily(index, &family)) ||
            FAILED(family->GetFirstMatchingFont(DWRITE_FONT_WEIGHT_NORMAL, DWRITE_FONT_STRETCH_NORMAL,
                                                DWRITE_FONT_STYLE_NORMAL, &face))) {
            return nullptr;
        }
        return face;
    }

    static std::wstring missingCharacters(IDWriteFont *face, const std::wstring &characters)
    {
        std::wstring missing;
        for (const wchar_t character : characters) {
            BOOL exists = FALSE;
            if (FAILED(face->HasCharacter(character, &exists)) || !exists) {
                missing.push_back(character);
            }
        }
        return missing;
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
    ASSERT_HRESULT_SUCCEEDED(app::chooseUiFont(factory_.Get(), app::programCharacters, font));
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
    ASSERT_HRESULT_SUCCEEDED(app::chooseUiFontFrom(collection_.Get(), candidates, {}, font));
    EXPECT_STREQ(font.family, L"DejaVu Sans");
    EXPECT_EQ(font.weight, DWRITE_FONT_WEIGHT_BOLD);
}

TEST_F(FontChoice, NoCandidateInstalledTakesALegibleFamilyWithEveryCharacterOfTheTexts)
{
    const app::FontCandidate candidates[] = {{L"Calibri-Not-Installed", DWRITE_FONT_WEIGHT_LIGHT},
                                             {L"Segoe-Not-Installed", DWRITE_FONT_WEIGHT_NORMAL}};
    // The program's texts, then texts only some families can draw (a
    // Cyrillic letter and a mathematical sign).
    const std::wstring characterSets[] = {app::programCharacters(), app::programCharacters() + L"\u0416\u2211"};
    for (const std::wstring &characters : characterSets) {
        SCOPED_TRACE(characters.size());
        framework::text::FontDescription font;
        ASSERT_HRESULT_SUCCEEDED(app::chooseUiFontFrom(collection_.Get(), candidates, characters, font));
        const ComPtr<IDWriteFont> face = regularFace(font.family);
        ASSERT_NE(face, nullptr) << font.family;
        EXPECT_FALSE(face->IsSymbolFont()) << font.family;
        EXPECT_EQ(missingCharacters(face.Get(), characters), L"") << font.family;
        EXPECT_EQ(font.weight, DWRITE_FONT_WEIGHT_NORMAL);
        EXPECT_STREQ(font.locale, L"en-US");
    }
}

TEST(ProgramCharacters, EveryCharacterOfTheStringTableOnceInOrder)
{
    const std::wstring characters = app::programCharacters();
    for (const unsigned id : {app::ids::kStopQuestion, app::ids::kExpressInstall, app::ids::kErrorTitleFirst}) {
        const std::wstring text = app::loadString(id);
        ASSERT_FALSE(text.empty()) << id;
        for (const wchar_t character : text) {
            if (character >= L' ') {
                EXPECT_NE(characters.find(character), std::wstring::npos) << id << " " << static_cast<int>(character);
            }
        }
    }
    EXPECT_TRUE(std::is_sorted(characters.begin(), characters.end()));
    EXPECT_EQ(std::adjacent_find(characters.begin(), characters.end()), characters.end());
    EXPECT_EQ(characters.find(L'\n'), std::wstring::npos);

    // A block whose last text claims more units than the block holds.
    const wchar_t block[] = {2, L'b', L'a', 0, 3, L'a', L'\n', L'c', 9, L'd'};
    std::wstring fromBlock = L"z";
    app::addStringBlockCharacters(block, std::size(block), fromBlock);
    EXPECT_EQ(fromBlock, L"abcdz");
}

} // namespace
