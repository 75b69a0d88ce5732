#include "OutputNames.h"

#include "FatName.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"

#include <QDir>
#include <QFileInfo>
#include <cstdlib>
#include <limits>
#include <sys/stat.h>

void OutputNames::reset()
{
    m_byInput.clear();
    m_reserved.clear();
    m_lastCounter.clear();
    m_folderKeys.clear();
}

bool OutputNames::Exists(const QString& path)
{
    struct stat st
    {};
    return ::lstat(PathBytes::Encode(path).constData(), &st) == 0;
}

QString OutputNames::Numbered(const QString& path, int n)
{
    const QString name = GetFile::ParseFileName(path);
    const QString folder = path.left(path.size() - name.size());
    const QString stem = GetFile::ParseStem(name);
    const QString rest = name.mid(stem.size()); // ".ext", or nothing
    return folder + stem + QStringLiteral(" (%1)").arg(n) + rest;
}

QString OutputNames::FolderKey(const QString& path)
{
    const QString written = path.left(path.size() - GetFile::ParseFileName(path).size());
    const auto known = m_folderKeys.constFind(written);
    if (known != m_folderKeys.cend())
        return *known;
    // The folder as the system resolves it, so "out", "./out" and a link to it are one folder.
    const QString absolute = QFileInfo(path).absolutePath();
    // realpath on the path's own bytes: QFileInfo would look up a look-alike of a name that is not UTF-8.
    QString canonical;
    if (char* resolved = ::realpath(PathBytes::Encode(absolute).constData(), nullptr)) {
        canonical = PathBytes::Decode(resolved);
        ::free(resolved);
    }
    const QString key = (canonical.isEmpty() ? QDir::cleanPath(absolute) : canonical) + QLatin1Char('/');
    // A folder not made yet resolves differently once it is; only a resolved one is kept.
    if (!canonical.isEmpty())
        m_folderKeys.insert(written, key);
    return key;
}

bool OutputNames::Taken(const QString& wanted)
{
    const QString name = GetFile::ParseFileName(wanted);
    if (m_reserved.contains(PathBytes::CaseFolded(FolderKey(wanted) + name)) || Exists(wanted))
        return true;
    const std::string bytes = PathBytes::Encode(name).toStdString();
    if (!FatName::NeedsMapping(bytes))
        return false;
    const QString folder = wanted.left(wanted.size() - name.size());
    return Exists(folder + PathBytes::Decode(QByteArray::fromStdString(FatName::Map(bytes))));
}

void OutputNames::Claim(const QString& path)
{
    m_reserved.insert(PathBytes::CaseFolded(FolderKey(path) + GetFile::ParseFileName(path)));
}

std::optional<QString> OutputNames::Reserve(const QString& input, const QString& wanted)
{
    const auto again = m_byInput.constFind(input);
    if (again != m_byInput.cend())
        return *again;

    // Every candidate lies in the wanted path's folder: resolve it once.
    const QString folderKey = FolderKey(wanted);
    const auto keyOf = [&](const QString& candidate) {
        return PathBytes::CaseFolded(folderKey + GetFile::ParseFileName(candidate));
    };
    const QString wantedKey = keyOf(wanted);
    int counter = m_lastCounter.value(wantedKey, 1);
    for (int tries = 0;; ++tries) {
        const QString candidate = counter == 1 ? wanted : Numbered(wanted, counter);
        const QString candidateKey = keyOf(candidate);
        if (!m_reserved.contains(candidateKey) && !Exists(candidate)) {
            m_reserved.insert(candidateKey);
            m_lastCounter.insert(wantedKey, counter);
            m_byInput.insert(input, candidate);
            return candidate;
        }
        if (tries + 1 >= kMaxTries || counter == std::numeric_limits<int>::max())
            return std::nullopt;
        ++counter;
    }
}
