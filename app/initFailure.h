#pragma once

namespace app {

// The system box with texts 1400/1700 (none in a silent run); always 23001.
unsigned showInitFailure();

} // namespace app
