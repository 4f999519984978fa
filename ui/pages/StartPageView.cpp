#include "ui/pages/StartPageView.h"

#include "app/resourceIds.h"
#include "app/strings.h"
#include "framework/buttons/UrlButton.h"
#include "framework/text/measureText.h"
#include "framework/windows/messages.h"
#include "kestrune/config.h"
#include "installer/launching.h"
#include "ui/MainWindow.h"
#include "ui/controls/ExpressInstallButton.h"
#include "ui/controls/elements.h"

#include <shellapi.h>

#include <cmath>

namespace ui::pages {

using framework::buttons::UrlButton;
using framework::text::TextStyle;

namespace {

constexpr float kTextSize = 16.0f;
constexpr uint32_t kTextColour = 0xD7D7D7;
// Used when the space cannot be measured in the UI font.
constexpr float kFallbackSpace = 3.0f;
constexpr float kManualInstallGap = 12.0f;

class LicenseAgreementUrlButton final : public UrlButton {
public:
    LicenseAgreementUrlButton(HWND window, const framework::text::FontDescription &font, IDWriteFactory *factory,
                              float x, float y)
        : UrlButton(window, app::loadString(app::ids::kLicenceAgreement).c_str(), font,
                    TextStyle{kTextSize, 0x5D9CEB, true, false}, factory, 0x1D9FFF, x, y)
    {
    }

    void click() override
    {
        (void)installer::openInBrowser(L"https://" KESTRUNE_SITE_HOST L"/terms-of-service.html", SW_SHOWNORMAL);
    }
};

class ManualInstallUrlButton final : public UrlButton {
public:
    ManualInstallUrlButton(HWND window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
                           float y)
        : UrlButton(window, app::loadString(app::ids::kManualInstall).c_str(), font,
                    TextStyle{kTextSize, kTextColour, true, false}, factory, 0xFFFFFF, x, y)
    {
    }

    void click() override
    {
        // The page goes away under the pointer: give the arrow back first.
        if (hovered) {
            ::SetCursor(previousCursor);
            ::PostMessageW(window, framework::windows::kMsgSetCursor, reinterpret_cast<WPARAM>(previousCursor), 0);
        }
        ::PostMessageW(window, framework::windows::kMsgShowView, 2, 0);
    }
};

class ExpressButton final : public ui::controls::ExpressInstallButton {
public:
    ExpressButton(MainWindow &window, const framework::text::FontDescription &font, IDWriteFactory *factory, float x,
                  float y)
        : ExpressInstallButton(font, factory, x, y), window_(window)
    {
    }

    void click() override { window_.beginInstall(); }

private:
    MainWindow &window_;
};

float spaceWidth(const framework::text::FontDescription &font)
{
    framework::text::TextMetrics space{};
    if (!framework::text::measureText(L" ", font, kTextSize, space)) {
        return kFallbackSpace;
    }
    return std::round(space.width);
}

} // namespace

StartPageView::StartPageView(MainWindow *window, IDWriteFactory *factory, const framework::text::FontDescription &font)
    : View(window, kId)
{
    auto *welcome = add(controls::label(app::loadString(app::ids::kWelcome), font, factory, 28.0f, 0xE00D53, 332, 92));
    title = welcome;
    add(controls::label(app::loadString(app::ids::kThankYou), font, factory, kTextSize, kTextColour, 332,
                        welcome->y + welcome->height));
    add(controls::sprite(180, 59, 128, 128, 92, 620));
    const auto *licenceLine =
        add(controls::label(app::loadString(app::ids::kLicenceLine), font, factory, kTextSize, kTextColour, 143, 232));
    make<LicenseAgreementUrlButton>(window->handle(), font, factory,
                                    licenceLine->x + licenceLine->width + spaceWidth(font), 232);
    auto *express = make<ExpressButton>(*window, font, factory, 239, 280);
    initialFocus = express;
    make<ManualInstallUrlButton>(window->handle(), font, factory, 343,
                                 express->y + express->height + kManualInstallGap);
}

} // namespace ui::pages
