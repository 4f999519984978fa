#include "installer/Installer.h"

namespace installer {

// PLACEHOLDER until the engine and the main window exist: ends the message
// loop at once.
unsigned Installer::start()
{
    ::PostQuitMessage(0);
    return 0;
}

} // namespace installer
