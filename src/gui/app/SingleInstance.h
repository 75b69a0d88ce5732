#pragma once

#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class QLockFile;

// One running copy per user and per installed program: a lock file in a folder of the user's own, named
// after the executable's real path, and beside it a local socket through which a second start hands its
// files to the running window.
namespace SingleInstance {

// True when the folder itself (not a link to one) belongs to this user and nobody else may enter it.
bool IsPrivateFolder(const QString& folder);

// The folder the lock and the socket live in: $XDG_RUNTIME_DIR, else Qt's runtime folder, else a folder
// in the user's cache folder, whichever first is private and short enough for a socket path. Empty when
// none is.
QString RuntimeFolder();

// Empty when there is no private folder to put them in.
QString LockPath(const QString& executablePath);
QString SocketPath(const QString& executablePath);

// The user at the other end of a connected local socket, as the kernel saw it connect; -1 when unknown.
qint64 PeerUser(qintptr socketDescriptor);

struct Claim
{
    enum class Outcome {
        First,  // this start holds the lock
        Second, // another running instance of this program, of this user, holds it
        NoLock  // the lock cannot be made here (no private folder, say): the program runs without one
    };
    Outcome outcome = Outcome::NoLock;
    std::unique_ptr<QLockFile> lock; // held for as long as it lives (First only)
};

Claim Acquire(const QString& executablePath);

// Hands paths to the running instance and waits for its acknowledgement; false without one within
// timeoutMs, and false without sending anything when the listener is not this user's.
bool HandOver(const QString& socketPath, const QStringList& paths, int timeoutMs);

// The paths one message holds: each path followed by a NUL, then an empty record.
QByteArray Encode(const QStringList& paths);
// The paths of a complete message, or nothing while the message is incomplete.
std::optional<QStringList> Decode(const QByteArray& message);

} // namespace SingleInstance
