#pragma once

#include "framework/controls/Item.h"
#include "framework/text/Text.h"

namespace ui::pages {

// Shrinks a text's box to its content, as a label's; the centred alignment
// then centres every line inside that box.
HRESULT fitToContent(framework::text::Text &text);

// x such that `item` and `reference` share their vertical centre line.
void centreOn(framework::controls::Item &item, const framework::controls::Item &reference);

} // namespace ui::pages
