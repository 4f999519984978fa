#include "framework/accessibility/accessibleFacts.h"

#include <oleacc.h>

#include <cmath>

namespace framework::accessibility {

using controls::AccessibleRole;

LONG msaaRole(AccessibleRole role) noexcept
{
    switch (role) {
    case AccessibleRole::kPushButton:
        return ROLE_SYSTEM_PUSHBUTTON;
    case AccessibleRole::kLink:
        return ROLE_SYSTEM_LINK;
    case AccessibleRole::kCheckButton:
        return ROLE_SYSTEM_CHECKBUTTON;
    case AccessibleRole::kStaticText:
        return ROLE_SYSTEM_STATICTEXT;
    case AccessibleRole::kProgressBar:
        return ROLE_SYSTEM_PROGRESSBAR;
    case AccessibleRole::kReadOnlyText:
        return ROLE_SYSTEM_TEXT;
    case AccessibleRole::kNone:
        break;
    }
    return ROLE_SYSTEM_GRAPHIC;
}

LONG msaaState(const StateFacts &facts) noexcept
{
    LONG state = 0;
    if (facts.actionable) {
        state |= STATE_SYSTEM_FOCUSABLE;
        if (facts.focused) {
            state |= STATE_SYSTEM_FOCUSED;
        }
    } else if (facts.interactive && facts.role != AccessibleRole::kStaticText) {
        // Text that could hold a link but holds none is read, not disabled.
        state |= STATE_SYSTEM_UNAVAILABLE;
    }
    if (facts.checked.value_or(false)) {
        state |= STATE_SYSTEM_CHECKED;
    }
    if (facts.role == AccessibleRole::kLink) {
        state |= STATE_SYSTEM_LINKED;
    }
    if (facts.role == AccessibleRole::kStaticText || facts.role == AccessibleRole::kReadOnlyText ||
        facts.role == AccessibleRole::kProgressBar) {
        state |= STATE_SYSTEM_READONLY;
    }
    return state;
}

const wchar_t *defaultActionName(AccessibleRole role, std::optional<bool> checked) noexcept
{
    switch (role) {
    case AccessibleRole::kPushButton:
        return L"Press";
    case AccessibleRole::kLink:
        return L"Jump";
    case AccessibleRole::kCheckButton:
        return checked.value_or(false) ? L"Uncheck" : L"Check";
    default:
        return nullptr;
    }
}

std::optional<LONG> navigate(LONG start, LONG direction, LONG count) noexcept
{
    if (count <= 0 || start < 0 || start > count) {
        return std::nullopt;
    }
    switch (direction) {
    case NAVDIR_FIRSTCHILD:
        return start == CHILDID_SELF ? std::optional<LONG>(1) : std::nullopt;
    case NAVDIR_LASTCHILD:
        return start == CHILDID_SELF ? std::optional<LONG>(count) : std::nullopt;
    case NAVDIR_NEXT:
    case NAVDIR_DOWN:
    case NAVDIR_RIGHT:
        return start != CHILDID_SELF && start < count ? std::optional<LONG>(start + 1) : std::nullopt;
    case NAVDIR_PREVIOUS:
    case NAVDIR_UP:
    case NAVDIR_LEFT:
        return start > 1 ? std::optional<LONG>(start - 1) : std::nullopt;
    default:
        return std::nullopt;
    }
}

ScreenRect screenRect(const controls::Item &item, float scaleX, float scaleY, POINT windowOrigin) noexcept
{
    const auto left = static_cast<LONG>(std::floor(static_cast<double>(item.x) * scaleX));
    const auto top = static_cast<LONG>(std::floor(static_cast<double>(item.y) * scaleY));
    const auto right = static_cast<LONG>(std::ceil(static_cast<double>(item.x + item.width) * scaleX));
    const auto bottom = static_cast<LONG>(std::ceil(static_cast<double>(item.y + item.height) * scaleY));
    return {windowOrigin.x + left, windowOrigin.y + top, right - left, bottom - top};
}

} // namespace framework::accessibility
