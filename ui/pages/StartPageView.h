#pragma once

#include "framework/text/FontDescription.h"
#include "framework/views/View.h"
#include "ui/pageData.h"

#include <dwrite.h>

namespace ui {
class MainWindow;
}

namespace ui::pages {

// Page 1: greeting, licence link, Express Install and the Manual Install link.
class StartPageView : public framework::views::View {
public:
    static constexpr int32_t kId = kPageStart;

    StartPageView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);
};

} // namespace ui::pages
