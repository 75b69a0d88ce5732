#pragma once

#include <functional>

// Ctrl+C, a kill or a closed terminal (SIGINT, SIGTERM, SIGHUP) stop a batch run from the terminal as
// the Stop button does, instead of ending the process with tools and part files left behind. The
// handler only writes the signal's number to a pipe; the event loop reads it and calls stop. Caught, not
// blocked: a blocked mask would be inherited by every tool the run starts.
namespace StopSignals {

// stop runs on the event loop with the number of each signal that arrives.
void install(std::function<void(int signal)> stop);

} // namespace StopSignals
