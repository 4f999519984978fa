#pragma once

#include "framework/text/FontDescription.h"
#include "framework/views/View.h"
#include "installer/PageData.h"

#include <dwrite.h>

namespace application::unique::controls::installer {
class ChooseFileTextField;
}

namespace installer {

class MainWindow;

// Page 2: destination folder, the two options, BACK and START INSTALL.
class ChooseDirView : public application::controls::views::View {
public:
    static constexpr int32_t kId = kPageChooseDirectory;

    ChooseDirView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);

    [[nodiscard]] application::unique::controls::installer::ChooseFileTextField &field() const noexcept
    {
        return *field_;
    }

private:
    application::unique::controls::installer::ChooseFileTextField *field_ = nullptr;
};

} // namespace installer
