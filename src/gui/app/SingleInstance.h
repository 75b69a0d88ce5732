#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QLockFile;

// One running copy per user and per installed program: a lock file in the user's runtime folder, named
// after the executable's real path, and beside it a local socket through which a second start hands its
// files to the running window.
namespace SingleInstance {

QString LockPath(const QString& executablePath);
QString SocketPath(const QString& executablePath);

struct Claim
{
    enum class Outcome {
        First,  // this start holds the lock
        Second, // another running instance holds it
        NoLock  // the lock cannot be made here (no runtime folder, say): the program runs without one
    };
    Outcome outcome = Outcome::NoLock;
    std::unique_ptr<QLockFile> lock; // held for as long as it lives (First only)
};

Claim Acquire(const QString& executablePath);

// Hands paths to the running instance and waits for its acknowledgement; false without one within
// timeoutMs.
bool HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs);

// The paths one message holds: each path followed by a NUL, then an empty record.
QByteArray Encode(const QStringList& paths);
// The paths of a complete message, or nothing while the message is incomplete.
std::optional<QStringList> Decode(const QByteArray& message);

} // namespace SingleInstance
