#pragma once

#include <sys/types.h>

// Collects children that were still running when their run ended (a program not named like the tool
// ends its run as soon as the pipe is momentarily empty), so none is left as a zombie and nothing ever
// blocks waiting for one.
namespace ChildReaper {

// Takes ownership of pidfd (may be -1). Reaps the child from the event loop once it has ended.
void reapLater(pid_t pid, int pidfd);

// Opens a descriptor that becomes readable when the child ends; -1 where the kernel has none.
int openPidFd(pid_t pid);

// Children handed over and not yet reaped.
int pendingCount();

} // namespace ChildReaper
