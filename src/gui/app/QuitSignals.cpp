#include "QuitSignals.h"

#include "cli/StopSignals.h"

namespace QuitSignals {

void install(std::function<void()> quit)
{
    // The same signals a terminal run takes as Stop: for the window they are a way out.
    StopSignals::install([quit = std::move(quit)](int) { quit(); });
}

} // namespace QuitSignals
