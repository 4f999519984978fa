#pragma once

#include "framework/layouts/Layout.h"
#include "framework/pictures/BorderSprite.h"
#include "framework/text/FontDescription.h"
#include "framework/text/TextInput.h"

#include <dwrite.h>

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace ui::controls {

// The destination folder with its Browse link. The path is shown trimmed in
// the middle, so that the last folder name stays visible.
class ChooseFileTextField : public framework::layouts::Layout {
public:
    using FolderPicker = std::function<std::optional<std::wstring>(HWND owner)>;

    // `destination` is the installer's option, written by Browse.
    ChooseFileTextField(framework::windows::Direct2dWindow *window, std::wstring &destination,
                        const framework::text::FontDescription &font, IDWriteFactory *factory, float x, float y);

    void moveBy(float dx, float dy) override;
    HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas) override;

    // Picks a folder and makes "<folder>\Kestrune Software" the destination.
    void browse();

    [[nodiscard]] const framework::text::TextInput &pathText() const noexcept { return *pathText_; }

    // The system picker by default; tests put a scripted one in its place.
    FolderPicker folderPicker;

private:
    std::unique_ptr<framework::pictures::BorderSprite> frame_;
    framework::text::TextInput *pathText_ = nullptr;
    std::wstring &destination_;
};

} // namespace ui::controls
