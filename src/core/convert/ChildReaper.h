#pragma once

#include <functional>
#include <sys/types.h>

// Collects children that were still running when their run ended (a program not named like the tool
// ends its run as soon as the pipe is momentarily empty), so none is left as a zombie and nothing ever
// blocks waiting for one.
namespace ChildReaper {

// Takes ownership of pidfd (may be -1). Reaps the child from the event loop once it has ended.
void reapLater(pid_t pid, int pidfd);

// Opens a descriptor that becomes readable when the child ends; -1 where the kernel has none.
int openPidFd(pid_t pid);

// Stops a child and everything in its process group: SIGTERM now (then SIGCONT, for a group that was
// held), SIGKILL after killAfterMs if the child is still there. Takes ownership of pidfd (may be -1). onEnded runs from
// the event loop once the child has ended and is reaped, with its wait status (-1 when somebody else reaped it).
void terminate(pid_t pid, int pidfd, int killAfterMs, std::function<void(int waitStatus)> onEnded);

// Children handed over and not yet reaped.
int pendingCount();

} // namespace ChildReaper
