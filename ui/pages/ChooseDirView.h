#pragma once

#include "framework/text/FontDescription.h"
#include "framework/views/View.h"
#include "ui/pageData.h"

#include <dwrite.h>

namespace ui::controls {
class ChooseFileTextField;
}

namespace ui {
class MainWindow;
}

namespace ui::pages {

// Page 2: destination folder, the two options, BACK and START INSTALL.
class ChooseDirView : public framework::views::View {
public:
    static constexpr int32_t kId = kPageChooseDirectory;

    ChooseDirView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);

    [[nodiscard]] ui::controls::ChooseFileTextField &field() const noexcept { return *field_; }

private:
    ui::controls::ChooseFileTextField *field_ = nullptr;
};

} // namespace ui::pages
