#include "ui/controls/ChooseFileTextField.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/buttons/UrlButton.h"
#include "framework/windows/Direct2dWindow.h"
#include "framework/windows/messages.h"
#include "ui/showMessageBox.h"
#include "ui/controls/elements.h"
#include "ui/folderPicker.h"
#include "ui/layoutRules.h"

#include <knownfolders.h>

namespace ui::controls {

using framework::text::TextStyle;

namespace {

constexpr float kWidth = 594.0f;
constexpr float kHeight = 30.0f;
constexpr float kTextSize = 14.0f;
constexpr float kPathLeft = 43.0f;
constexpr float kBrowseGap = 10.0f;
constexpr DWORD kShortPathCapacity = 260;

class BrowseUrlButton final : public framework::buttons::UrlButton {
public:
    BrowseUrlButton(ChooseFileTextField &field, HWND window, const framework::text::FontDescription &font,
                    IDWriteFactory *factory, float x, float y)
        : UrlButton(window, app::loadString(app::ids::kBrowse).c_str(), font,
                    TextStyle{kTextSize, 0x0892D9, false, false}, factory, 0x1D9FFF, x, y),
          field_(field)
    {
    }

    void click() override { field_.browse(); }

private:
    ChooseFileTextField &field_;
};

std::optional<std::wstring> shortPathOf(const std::wstring &path)
{
    wchar_t buffer[kShortPathCapacity] = {};
    const DWORD length = ::GetShortPathNameW(path.c_str(), buffer, kShortPathCapacity);
    if (length == 0 || length >= kShortPathCapacity) {
        return std::nullopt;
    }
    return std::wstring(buffer, length);
}

std::optional<std::wstring> systemPicker(HWND owner)
{
    return ui::pickFolder(owner, FOLDERID_ProgramFiles);
}

} // namespace

ChooseFileTextField::ChooseFileTextField(framework::windows::Direct2dWindow *window, std::wstring &destination,
                                         const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
                                         float y)
    : Layout(kWidth, kHeight, x, y, window), folderPicker(systemPicker), destination_(destination)
{
    frame_ =
        std::make_unique<framework::pictures::BorderSprite>(kWidth, kHeight, x, y, 5, 103, 599, 133, 14, 14, 10, 10);
    add(sprite(x + 13, y + 7, 20, 15, 118, 475));
    auto *browseLink = make<BrowseUrlButton>(*this, window->handle(), font, factory, x + kWidth - 58, y + 7);

    const framework::text::ParagraphSettings paragraph{DWRITE_TEXT_ALIGNMENT_LEADING, DWRITE_PARAGRAPH_ALIGNMENT_CENTER,
                                                       DWRITE_WORD_WRAPPING_NO_WRAP};
    const float pathWidth = browseLink->x - kBrowseGap - (x + kPathLeft);
    constexpr float kPathHeight = 20.0f;
    pathText_ = make<framework::text::TextInput>(destination.c_str(), font, paragraph,
                                                 TextStyle{kTextSize, 0x666666, false, false}, factory, x + kPathLeft,
                                                 y + 5, pathWidth, kPathHeight);
    pathText_->width = pathWidth;
    pathText_->height = kPathHeight;

    if (FAILED(creation)) {
        return;
    }
    // Trim at backslashes, keeping the last one: "C:\Program Files\...\Kestrune Software".
    Microsoft::WRL::ComPtr<IDWriteInlineObject> ellipsis;
    HRESULT result = factory->CreateEllipsisTrimmingSign(pathText_->layout.Get(), &ellipsis);
    if (SUCCEEDED(result)) {
        const DWRITE_TRIMMING trimming{DWRITE_TRIMMING_GRANULARITY_CHARACTER, L'\\', 1};
        result = pathText_->layout->SetTrimming(&trimming, ellipsis.Get());
    }
    creation = result;
}

void ChooseFileTextField::moveBy(float dx, float dy)
{
    frame_->moveBy(dx, dy);
    Layout::moveBy(dx, dy);
}

HRESULT ChooseFileTextField::drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                           ID2D1Bitmap *atlas)
{
    frame_->draw(renderTarget, atlas);
    return Layout::drawComposite(renderTarget, brush, atlas);
}

void ChooseFileTextField::browse()
{
    const std::optional<std::wstring> chosen = folderPicker(window->handle());
    if (!chosen) {
        return;
    }
    const ui::BrowseOutcome outcome = ui::destinationFromChosenFolder(*chosen, shortPathOf);
    switch (outcome.kind) {
    case ui::BrowseOutcome::Kind::Ignore:
        return;
    case ui::BrowseOutcome::Kind::PathTooLong:
        // No owner: the main window stays usable while the notice is open.
        ui::showMessageBox(nullptr, app::loadString(app::ids::kPathTooLong).c_str(),
                           app::loadString(app::ids::kCaption).c_str(), 0);
        return;
    case ui::BrowseOutcome::Kind::Use:
        break;
    }
    if (FAILED(pathText_->setText(outcome.destination.c_str()))) {
        return;
    }
    destination_ = outcome.destination;
    ::PostMessageW(window->handle(), framework::windows::kMsgRedraw, 0, reinterpret_cast<LPARAM>(this));
}

} // namespace ui::controls
