#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Removes what one tool process left half-written in a folder: its part files (PartName.h), found by
// the tool's process id, so a live part file of another tool writing into the same folder stays. The
// folder is read as bytes: a listing that decodes names would skip those that are not valid UTF-8.
namespace PartFileSweep {

// The number of part files removed.
int RemoveOwnedBy(const QByteArray& folder, pid_t pid);
// The same in the folder of the output the tool was writing.
int RemoveBeside(const QString& output, pid_t pid);

} // namespace PartFileSweep
