#include "framework/buttons/SystemButtons.h"

namespace framework::buttons {

SystemButtonMinimize::SystemButtonMinimize(HWND window, float x, float y)
    : SpriteButton(static_cast<float>(kMinimizeFrames.frameWidth), static_cast<float>(kMinimizeFrames.frameHeight), x,
                   y, kMinimizeFrames),
      window(window)
{
}

void SystemButtonMinimize::click()
{
    ::ShowWindow(window, SW_MINIMIZE);
}

SystemButtonClose::SystemButtonClose(HWND window, float x, float y)
    : SpriteButton(static_cast<float>(kCloseFrames.frameWidth), static_cast<float>(kCloseFrames.frameHeight), x, y,
                   kCloseFrames),
      window(window)
{
}

void SystemButtonClose::click()
{
    ::PostMessageW(window, WM_CLOSE, 0, 0);
}

} // namespace framework::buttons
