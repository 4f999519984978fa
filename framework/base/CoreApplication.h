#pragma once

namespace framework::base {

class CoreApplication {
public:
    CoreApplication() = default;
    CoreApplication(const CoreApplication &) = delete;
    CoreApplication &operator=(const CoreApplication &) = delete;
    virtual ~CoreApplication() = default;
};

} // namespace framework::base
