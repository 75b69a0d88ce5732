#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Looks through the running processes for an image name, the way the end-of-command test needs it.
namespace ProcessLookup {

// The image name and state of one /proc/<pid>/stat text: the name is what stands between the first
// "(" and the last ")", the state the first character after it, the process group the third field
// after that. Returns false for text of another shape.
bool parseStat(const QByteArray& stat, QByteArray* imageName, char* state, pid_t* group = nullptr);

// Whole-name, case-insensitive match against every live process; ended processes that are not yet
// reaped (state Z) do not count. The kernel keeps 15 bytes of a name, so a longer name is compared by
// its first 15 bytes. procRoot is "/proc" except in tests.
bool IsProcessRunning(const QString& imageName, const QString& procRoot = QStringLiteral("/proc"));

// The same, counting only the processes of one process group: the tools a runner started itself (each
// leads a group of its own), and whatever they started, never another program's or user's.
bool IsProcessRunningInGroup(const QString& imageName, pid_t group, const QString& procRoot = QStringLiteral("/proc"));

} // namespace ProcessLookup
