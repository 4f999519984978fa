#pragma once

// Short ways to build the framework elements the installer's controls and
// pages are made of, from the values their tables give.

#include "framework/buttons/SpriteButton.h"
#include "framework/pictures/BorderSprite.h"
#include "framework/pictures/Sprite.h"
#include "framework/text/FontDescription.h"
#include "framework/text/Label.h"

#include <dwrite.h>

#include <cstdint>
#include <memory>
#include <string>

namespace ui::controls {

struct FrameCells;

// A label in the UI font; throws the HRESULT of a failed layout.
std::unique_ptr<framework::text::Label> label(const std::wstring &text, const framework::text::FontDescription &font,
                                              IDWriteFactory *factory, float size, uint32_t colour, float x, float y,
                                              bool underline = false);

// The atlas rectangle (left, top) .. (left + width, top + height) shown at
// (x, y) with the same size.
std::unique_ptr<framework::pictures::Sprite> sprite(float x, float y, float width, float height, uint32_t left,
                                                    uint32_t top);

std::unique_ptr<framework::buttons::BorderSpriteButton> frameButton(float width, float height, float x, float y,
                                                                    const FrameCells &cells);

} // namespace ui::controls
