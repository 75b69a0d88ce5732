#pragma once

#include <QString>
#include <memory>

class QLockFile;

// One running copy per user and per installed program: a lock file in the user's runtime folder, named
// after the executable's real path. The lock is held for as long as the returned object lives.
namespace SingleInstance {

QString LockPath(const QString& executablePath);

// The held lock, or nothing when another instance holds it already.
std::unique_ptr<QLockFile> Acquire(const QString& executablePath);

} // namespace SingleInstance
