#pragma once

#include <functional>

// Logging off, a closed terminal or Ctrl+C (SIGTERM, SIGHUP, SIGINT) end the program as closing its
// window does. The signal handler only writes to a pipe; the event loop reads it and calls quit. The
// signals are caught, not blocked: a blocked mask would be inherited by every tool the program starts.
namespace QuitSignals {

// Installs the handlers; quit runs on the event loop once per signal that arrives.
void install(std::function<void()> quit);

} // namespace QuitSignals
