#pragma once

#include "framework/pictures/Sprite.h"

#include <cstdint>

namespace framework::buttons {

// Atlas frames of a picture button, in atlas pixels.
struct SpriteFrames {
    uint32_t normalX, normalY;
    uint32_t hoverX, hoverY;
    uint32_t pressedX, pressedY;
    uint32_t frameWidth, frameHeight;
};

struct FrameOrigin {
    uint32_t x, y;
};

// Pressed only while also hovered: pressing and dragging off shows the
// normal frame, dragging back the pressed one again.
[[nodiscard]] constexpr FrameOrigin frameOrigin(const SpriteFrames &frames, bool hovered, bool pressed) noexcept
{
    if (hovered && pressed) {
        return {frames.pressedX, frames.pressedY};
    }
    if (hovered) {
        return {frames.hoverX, frames.hoverY};
    }
    return {frames.normalX, frames.normalY};
}

// State logic shared by the picture buttons: reads the element's hovered and
// pressed flags and writes its source rectangle.
class SpriteButtonInterface {
public:
    SpriteButtonInterface(pictures::Sprite &element, const SpriteFrames &frames) : frames(frames), element_(element) {}
    SpriteButtonInterface(const SpriteButtonInterface &) = delete;
    SpriteButtonInterface &operator=(const SpriteButtonInterface &) = delete;

    virtual ~SpriteButtonInterface() = default;
    virtual void updateFrame()
    {
        const FrameOrigin origin = frameOrigin(frames, element_.hovered, element_.pressed);
        element_.left = origin.x;
        element_.top = origin.y;
        element_.right = origin.x + frames.frameWidth;
        element_.bottom = origin.y + frames.frameHeight;
    }

    SpriteFrames frames;

private:
    pictures::Sprite &element_;
};

} // namespace framework::buttons
