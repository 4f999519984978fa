#pragma once

// Geometry and choices of the installer's pages and controls that do not
// need a window: kept apart so that they are tested directly.

#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace ui {

// Text buttons: captions under four characters get wider margins.
[[nodiscard]] float textButtonMargin(const std::wstring &caption);

struct Size {
    float width;
    float height;
};

// Frame of a text button around a caption label of the given size.
[[nodiscard]] Size textButtonSize(const std::wstring &caption, float labelWidth, float labelHeight);

// Width shown by the progress line for a fraction of the whole (0 shows
// nothing; from 0.99 on the line is full).
constexpr float kProgressLineFull = 647.0f;
constexpr float kProgressLineCap = 17.0f;
[[nodiscard]] float progressLineWidth(float fraction);
// The progress as assistive technology reads it: whole percent, rounded
// down so that 100 % means done ("42 %").
[[nodiscard]] std::wstring progressValueText(float fraction);
// Progress is announced at most four times a second: whether a change at
// `now` (milliseconds) is announced after the last one at `last`.
constexpr uint64_t kProgressAnnouncementInterval = 250;
[[nodiscard]] bool progressAnnouncementDue(uint64_t now, std::optional<uint64_t> last);

// Left edge that centres an element of `width` on a reference element.
[[nodiscard]] float centredX(float width, float referenceX, float referenceWidth);

// Size of the message box for a text measured at W x H (nullopt: no text).
[[nodiscard]] Size messageBoxSize(std::optional<Size> measuredText);

// Vertical offset of a check box label, by UI font.
[[nodiscard]] float checkBoxLabelOffset(const std::wstring &family, uint32_t weight);

// x of the finish page's title, by UI font weight.
[[nodiscard]] float finishTitleX(uint32_t weight);

// Shield pictures by Windows version (nullopt version: the query failed).
struct AtlasPicture {
    float left;
    float top;
    float width;
    float height;
};
struct WindowsVersion {
    uint32_t major;
    uint32_t minor;
};
[[nodiscard]] AtlasPicture expressInstallShield(std::optional<WindowsVersion> version);
[[nodiscard]] AtlasPicture startInstallShield(std::optional<WindowsVersion> version);

// The destination formed from a folder chosen with Browse.
constexpr size_t kMaxDestinationLength = 259;
constexpr size_t kMaxShortChosenLength = 241;

struct BrowseOutcome {
    enum class Kind { Use, PathTooLong, Ignore } kind;
    std::wstring destination;
};

// `shortPath` converts a path to its short form (nullopt on failure).
[[nodiscard]] BrowseOutcome
destinationFromChosenFolder(const std::wstring &chosen,
                            const std::function<std::optional<std::wstring>(const std::wstring &)> &shortPath);

// Where a window handed over as `requested` goes on a monitor whose work
// area is `workArea`: the requested size (or `fallbackSize` when the
// requested one is empty) no larger than the work area, moved inside it.
[[nodiscard]] RECT placeInWorkArea(const RECT &requested, SIZE fallbackSize, const RECT &workArea);

} // namespace ui
