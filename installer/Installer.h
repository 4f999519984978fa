#pragma once

#include "installer/InstallOptions.h"

namespace installer {

class AbstractInstaller {
public:
    AbstractInstaller() = default;
    AbstractInstaller(const AbstractInstaller &) = delete;
    AbstractInstaller &operator=(const AbstractInstaller &) = delete;

    // 0, or a process exit code greater than 0.
    virtual unsigned start() = 0;

protected:
    ~AbstractInstaller() = default;
};

class Installer final : public AbstractInstaller {
public:
    Installer() = default;

    unsigned start() override;

    [[nodiscard]] InstallOptions &options() noexcept { return options_; }

private:
    InstallOptions options_;
};

} // namespace installer
