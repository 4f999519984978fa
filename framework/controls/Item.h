#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

struct ID2D1RenderTarget;
struct ID2D1SolidColorBrush;
struct ID2D1Bitmap;

namespace framework::base {
struct SystemColours;
}

namespace framework::controls {

// Selects how a container draws an element and whether it can be hovered.
enum ItemKind : int32_t {
    kKindUrlButton = 1,
    kKindSprite = 2,
    kKindBorderSprite = 3,
    kKindText = 4,
    kKindLabel = 5,
    kKindTextInput = 6,
    kKindLayout = 7,
    kKindSpriteButton = 8,
    kKindComposite = 9,
    kKindComplexText = 11,
    kKindBorderSpriteButton = 12,
};

// Sprites and plain texts are decoration: the mouse passes over them.
[[nodiscard]] constexpr bool canBeHovered(int32_t kind) noexcept
{
    return kind != kKindSprite && kind != kKindBorderSprite && kind != kKindText && kind != kKindLabel;
}

// What assistive technology is told an element is; kNone for decoration,
// which is left out of the accessible tree.
enum class AccessibleRole {
    kNone,
    kPushButton,
    kLink,
    kCheckButton,
    kStaticText,
    kProgressBar,
    kReadOnlyText,
};

// Window coordinates in DIPs; `button` is 1 for the left button on press and
// release, the message's key-state flags on moves.
struct MouseEvent {
    float x = 0;
    float y = 0;
    int64_t button = 0;
    int64_t keyFlags = 0;
};

// Identity of the next element; touched by the UI thread only.
inline int32_t nextItemId = 1;

// Every element of a window: position and size in DIPs, window coordinates
// (containers do not shift their children's origin).
class Item {
public:
    Item(ItemKind kind, float width, float height, float x, float y);
    Item(const Item &) = delete;
    Item &operator=(const Item &) = delete;

    virtual ~Item() = default;
    virtual void mouseEnter();
    virtual void mouseLeave();
    virtual void mouseDown(const MouseEvent &event);
    virtual void mouseUp(const MouseEvent &event);
    virtual void click();
    virtual void mouseMove(const MouseEvent &event);
    virtual void moveBy(float dx, float dy);
    virtual HRESULT drawComposite(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush, ID2D1Bitmap *atlas);
    // Whether the keyboard can reach it: it can be used and is shown.
    [[nodiscard]] virtual bool actionable() const noexcept { return interactive && visible; }
    // What Enter, Space and an assistive technology's default action do:
    // exactly what a click does.
    virtual void activate() { click(); }
    // What assistive technology reads: the visible text as the name, a
    // value where the element shows one, the state of a check box.
    [[nodiscard]] virtual AccessibleRole accessibleRole() const noexcept { return AccessibleRole::kNone; }
    [[nodiscard]] virtual std::wstring accessibleName() const { return {}; }
    [[nodiscard]] virtual std::wstring accessibleValue() const { return {}; }
    [[nodiscard]] virtual std::optional<bool> accessibleChecked() const noexcept { return std::nullopt; }
    // In high contrast only what is read or used is drawn, with the system
    // colours and no picture; the window has cleared the background.
    virtual void drawHighContrast(ID2D1RenderTarget *renderTarget, ID2D1SolidColorBrush *brush,
                                  const base::SystemColours &colours);

    // Both edges count as inside.
    [[nodiscard]] bool contains(float px, float py) const noexcept
    {
        return x <= px && px <= x + width && y <= py && py <= y + height;
    }

    float width;
    float height;
    float x;
    float y;
    bool hovered = false;
    bool pressed = false;
    bool interactive = false;
    bool visible = true;
    int32_t kind;
    int32_t id;
    // S_OK, or the failure of the element's construction (or of a child's):
    // a window whose content holds a failed element does not open.
    HRESULT creation = S_OK;

protected:
    // Views keep the id their creator gives them, yet still use up a value.
    Item(ItemKind kind, float width, float height, float x, float y, int32_t givenId);
};

} // namespace framework::controls
