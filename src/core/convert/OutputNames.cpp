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
    m_wanting.clear();
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

namespace {
// What is at a path skip mode looks at: nothing (empty), a converted output ("output"), or what else is
// in the way. A link counts as what it leads to.
QString whatIsAt(const QString& path)
{
    const QByteArray bytes = PathBytes::Encode(path);
    struct stat st
    {};
    if (::lstat(bytes.constData(), &st) != 0)
        return {};
    if (S_ISLNK(st.st_mode) && ::stat(bytes.constData(), &st) != 0)
        return QStringLiteral("a link to nothing");
    if (S_ISDIR(st.st_mode))
        return QStringLiteral("a folder");
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("something that is not a file");
    if (st.st_size == 0)
        return QStringLiteral("an empty file");
    return QStringLiteral("output");
}
} // namespace

bool OutputNames::HoldsOutput(const QString& wanted)
{
    if (whatIsAt(wanted) == QLatin1String("output"))
        return true;
    const QString name = GetFile::ParseFileName(wanted);
    const std::string bytes = PathBytes::Encode(name).toStdString();
    return whatIsAt(wanted).isEmpty() && FatName::NeedsMapping(bytes) &&
           whatIsAt(wanted.left(wanted.size() - name.size()) +
                    PathBytes::Decode(QByteArray::fromStdString(FatName::Map(bytes)))) == QLatin1String("output");
}

OutputNames::Looked OutputNames::Look(const QString& input, const QString& wanted)
{
    const auto again = m_byInput.constFind(input);
    if (again != m_byInput.cend())
        return {Looked::Found::Nothing, *again, {}};
    const QString folderKey = FolderKey(wanted);
    const QString wantedKey = PathBytes::CaseFolded(folderKey + GetFile::ParseFileName(wanted));
    const int k = ++m_wanting[wantedKey];
    const QString own = k == 1 ? wanted : Numbered(wanted, k);
    const QString ownName = GetFile::ParseFileName(own);
    if (!m_reserved.contains(PathBytes::CaseFolded(folderKey + ownName))) {
        QString at = own;
        QString what = whatIsAt(own);
        const std::string bytes = PathBytes::Encode(ownName).toStdString();
        if (what.isEmpty() && FatName::NeedsMapping(bytes)) {
            at = own.left(own.size() - ownName.size()) +
                 PathBytes::Decode(QByteArray::fromStdString(FatName::Map(bytes)));
            what = whatIsAt(at);
        }
        if (what == QLatin1String("output"))
            return {Looked::Found::Output, at, {}};
        if (!what.isEmpty())
            return {Looked::Found::InTheWay, at, what};
    }
    const std::optional<QString> reserved = reserveFrom(input, wanted, wantedKey, folderKey, k);
    return reserved ? Looked{Looked::Found::Nothing, *reserved, {}} : Looked{Looked::Found::NoName, own, {}};
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
    const QString wantedKey = PathBytes::CaseFolded(folderKey + GetFile::ParseFileName(wanted));
    return reserveFrom(input, wanted, wantedKey, folderKey, m_lastCounter.value(wantedKey, 1));
}

std::optional<QString> OutputNames::reserveFrom(const QString& input, const QString& wanted, const QString& wantedKey,
                                                const QString& folderKey, int counter)
{
    const auto keyOf = [&](const QString& candidate) {
        return PathBytes::CaseFolded(folderKey + GetFile::ParseFileName(candidate));
    };
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
