#pragma once

namespace framework::windows {

// Roots of the window classes; they carry no behaviour.
class BaseWindow {
protected:
    BaseWindow() = default;
    ~BaseWindow() = default;
};

class TopLevelWindow : public BaseWindow {
protected:
    TopLevelWindow() = default;
    ~TopLevelWindow() = default;
};

} // namespace framework::windows
