#pragma once

#include <functional>

// Ctrl+Z and fg for a batch run from the terminal. The tools run in process groups of their own, so the
// terminal's SIGTSTP reaches only this program: left alone, the program would stop while its tools went
// on converting. The handler only writes to a pipe; on the event loop the run holds its tools (hold),
// then the default action is put back and SIGTSTP raised, so the program stops as any other would. Once
// continued (fg or bg send SIGCONT), the tools go on (letGo) and the handler is back in place.
namespace SuspendSignals {

// hold and letGo run on the event loop, one after the other for each Ctrl+Z.
void install(std::function<void()> hold, std::function<void()> letGo);

// The program's process group is its terminal's foreground group, or standard output is no terminal:
// after bg the run keeps quiet until it is brought back.
bool inForeground();

} // namespace SuspendSignals
