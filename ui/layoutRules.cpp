#include "ui/layoutRules.h"

#include "installer/productPaths.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

int64_t clampToRange(int64_t value, int64_t low, int64_t high)
{
    return std::max(low, std::min(value, high));
}

} // namespace

float textButtonMargin(const std::wstring &caption)
{
    return caption.size() < 4 ? 30.0f : 22.0f;
}

Size textButtonSize(const std::wstring &caption, float labelWidth, float labelHeight)
{
    const float margin = textButtonMargin(caption);
    return {2.0f * margin + labelWidth, std::max(labelHeight + 12.0f, 30.0f)};
}

float progressLineWidth(float fraction)
{
    if (fraction == 0.0f) {
        return 0.0f;
    }
    if (fraction >= 0.99f) {
        return kProgressLineFull;
    }
    return kProgressLineCap + std::round((kProgressLineFull - 2.0f * kProgressLineCap) * fraction);
}

std::wstring progressValueText(float fraction)
{
    const float clamped = std::clamp(fraction, 0.0f, 1.0f);
    // The small addition keeps 0.29f (28.9999...) at 29.
    const int percent = static_cast<int>(std::floor(static_cast<double>(clamped) * 100.0 + 1e-4));
    return std::to_wstring(percent) + L" %";
}

bool progressAnnouncementDue(uint64_t now, std::optional<uint64_t> last)
{
    return !last || now < *last || now - *last >= kProgressAnnouncementInterval;
}

float centredX(float width, float referenceX, float referenceWidth)
{
    return referenceX - (width - referenceWidth) / 2.0f;
}

Size messageBoxSize(std::optional<Size> measuredText)
{
    const Size text = measuredText.value_or(Size{300.0f, 15.0f});
    return {std::max(std::round(text.width) + 150.0f, 250.0f), std::round(text.height) + 140.0f};
}

float checkBoxLabelOffset(const std::wstring &family, uint32_t weight)
{
    if (family == L"Segoe UI") {
        return 4.0f;
    }
    if (family == L"Tahoma" && weight == 400) {
        return 3.0f;
    }
    return 2.0f;
}

float finishTitleX(uint32_t weight)
{
    return weight == 300 ? 301.0f : 295.0f;
}

namespace {

enum class ShieldEra { Vista, Windows10, Other };

ShieldEra shieldEra(std::optional<WindowsVersion> version)
{
    if (!version) {
        return ShieldEra::Other;
    }
    if (version->major == 6 && version->minor == 0) {
        return ShieldEra::Vista;
    }
    if (version->major >= 10) {
        return ShieldEra::Windows10;
    }
    return ShieldEra::Other;
}

} // namespace

AtlasPicture expressInstallShield(std::optional<WindowsVersion> version)
{
    switch (shieldEra(version)) {
    case ShieldEra::Vista:
        return {27.0f, 211.0f, 20.0f, 24.0f};
    case ShieldEra::Windows10:
        return {143.0f, 211.0f, 22.0f, 23.0f};
    case ShieldEra::Other:
        break;
    }
    return {88.0f, 211.0f, 20.0f, 24.0f};
}

AtlasPicture startInstallShield(std::optional<WindowsVersion> version)
{
    switch (shieldEra(version)) {
    case ShieldEra::Vista:
        return {325.0f, 437.0f, 13.0f, 14.0f};
    case ShieldEra::Windows10:
        return {414.0f, 436.0f, 13.0f, 14.0f};
    case ShieldEra::Other:
        break;
    }
    return {369.0f, 437.0f, 14.0f, 14.0f};
}

BrowseOutcome
destinationFromChosenFolder(const std::wstring &chosen,
                            const std::function<std::optional<std::wstring>(const std::wstring &)> &shortPath)
{
    const size_t length = chosen.size();
    const bool endsWithBackslash = length > 0 && chosen.back() == L'\\';
    const size_t vendorLength = std::char_traits<wchar_t>::length(installer::kVendorFolder);
    std::wstring folder = chosen;
    // The vendor folder and its separator must still fit in 259 characters.
    if (length - (endsWithBackslash ? 1 : 0) + vendorLength + 1 > kMaxDestinationLength) {
        const std::optional<std::wstring> shortForm = shortPath(chosen);
        if (!shortForm) {
            return {BrowseOutcome::Kind::Ignore, {}};
        }
        if (shortForm->size() > kMaxShortChosenLength) {
            return {BrowseOutcome::Kind::PathTooLong, {}};
        }
        folder = *shortForm;
    }
    std::wstring destination = folder;
    if (!endsWithBackslash) {
        destination += L'\\';
    }
    destination += installer::kVendorFolder;
    // The working buffer holds MAX_PATH characters including the terminator.
    if (destination.size() >= 260) {
        return {BrowseOutcome::Kind::Ignore, {}};
    }
    return {BrowseOutcome::Kind::Use, destination};
}

RECT placeInWorkArea(const RECT &requested, SIZE fallbackSize, const RECT &workArea)
{
    // In 64 bits: the record's corners may be any 32-bit values.
    int64_t width = static_cast<int64_t>(requested.right) - requested.left;
    int64_t height = static_cast<int64_t>(requested.bottom) - requested.top;
    if (width <= 0 || height <= 0) {
        width = fallbackSize.cx;
        height = fallbackSize.cy;
    }
    const int64_t areaWidth = static_cast<int64_t>(workArea.right) - workArea.left;
    const int64_t areaHeight = static_cast<int64_t>(workArea.bottom) - workArea.top;
    width = clampToRange(width, 0, areaWidth);
    height = clampToRange(height, 0, areaHeight);
    const int64_t left = clampToRange(requested.left, workArea.left, workArea.right - width);
    const int64_t top = clampToRange(requested.top, workArea.top, workArea.bottom - height);
    return {static_cast<LONG>(left), static_cast<LONG>(top), static_cast<LONG>(left + width),
            static_cast<LONG>(top + height)};
}

} // namespace ui
