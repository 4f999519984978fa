#pragma once

// What the window's accessible object answers, apart from COM: roles, states,
// default actions, navigation and locations as plain functions.

#include "framework/controls/Item.h"

#include <windows.h>

#include <optional>

namespace framework::accessibility {

// The MSAA role (ROLE_SYSTEM_*) of an element.
[[nodiscard]] LONG msaaRole(controls::AccessibleRole role) noexcept;

struct StateFacts {
    controls::AccessibleRole role = controls::AccessibleRole::kNone;
    bool interactive = false;
    bool actionable = false;
    bool focused = false;
    std::optional<bool> checked;
};
// STATE_SYSTEM_* flags: focusable and focused for what the keyboard reaches,
// checked, unavailable for a control that cannot be used now, linked for
// links, read-only for texts.
[[nodiscard]] LONG msaaState(const StateFacts &facts) noexcept;

// "Press", "Jump", "Check" or "Uncheck"; null for what has no action.
[[nodiscard]] const wchar_t *defaultActionName(controls::AccessibleRole role, std::optional<bool> checked) noexcept;

// The child id accNavigate reaches from `start` (CHILDID_SELF for the window's
// client object) among `count` children in reading order, or nullopt.
// Up and left go to the previous child, down and right to the next.
[[nodiscard]] std::optional<LONG> navigate(LONG start, LONG direction, LONG count) noexcept;

// Screen pixels of an element: its DIP rectangle scaled, widened to whole
// pixels, moved by the window's origin on the screen.
struct ScreenRect {
    LONG left;
    LONG top;
    LONG width;
    LONG height;
};
[[nodiscard]] ScreenRect screenRect(const controls::Item &item, float scaleX, float scaleY,
                                    POINT windowOrigin) noexcept;

} // namespace framework::accessibility
