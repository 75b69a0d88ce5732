#pragma once

#include <functional>

// Logging off, a closed terminal or Ctrl+C (SIGTERM, SIGHUP, SIGINT) end the program as closing its
// window does: the signals StopSignals catches for a terminal run, handed to the event loop the same way.
namespace QuitSignals {

// Installs the handlers; quit runs on the event loop for each signal that arrives.
void install(std::function<void()> quit);

} // namespace QuitSignals
