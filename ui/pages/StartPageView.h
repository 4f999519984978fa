#pragma once

#include "framework/text/FontDescription.h"
#include "framework/views/View.h"
#include "installer/PageData.h"

#include <dwrite.h>

namespace installer {

class MainWindow;

// Page 1: greeting, licence link, Express Install and the Manual Install link.
class StartPageView : public application::controls::views::View {
public:
    static constexpr int32_t kId = kPageStart;

    StartPageView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font);
};

} // namespace installer
