#pragma once

namespace framework::renderers {

class Direct2dRenderer {
protected:
    Direct2dRenderer() = default;
    ~Direct2dRenderer() = default;
};

} // namespace framework::renderers
