#include "FolderMaker.h"

#include "FatName.h"
#include "OutputFolder.h"
#include "filelist/PathBytes.h"

#include <QFile>
#include <cerrno>
#include <cstring>
#include <sys/stat.h>

FolderMaker::Made FolderMaker::Make(const QString& folder)
{
    QString wanted = folder;
    if (!wanted.endsWith(QLatin1Char('/')))
        wanted += QLatin1Char('/');
    if (wanted == QLatin1String("/"))
        return {wanted, {}};
    const auto known = m_levels.constFind(wanted);
    if (known != m_levels.cend())
        return *known;

    // The level above first: it is almost always known already.
    const qsizetype slash = wanted.lastIndexOf(QLatin1Char('/'), wanted.size() - 2);
    Made parent{slash >= 0 ? wanted.left(slash + 1) : QString(), {}};
    if (slash > 0)
        parent = Make(wanted.left(slash + 1));
    if (!parent.problem.isEmpty()) {
        m_levels.insert(wanted, parent);
        return parent;
    }
    const QString name = wanted.mid(slash + 1, wanted.size() - slash - 2);
    Made made;
    if (name.isEmpty() || name == QLatin1String(".") || name == QLatin1String("..")) {
        made.folder = parent.folder + (name.isEmpty() ? QString() : name + QLatin1Char('/'));
    } else {
        int error = OutputFolder::MakeLevel(PathBytes::Encode(parent.folder + name));
        QString used = name;
        const std::string bytes = PathBytes::Encode(name).toStdString();
        if (error != 0 && error != ENOTDIR && FatName::NeedsMapping(bytes)) {
            used = PathBytes::Decode(QByteArray::fromStdString(FatName::Map(bytes)));
            if (OutputFolder::MakeLevel(PathBytes::Encode(parent.folder + used)) == 0)
                error = 0;
        }
        if (error == 0)
            made.folder = parent.folder + used + QLatin1Char('/');
        else
            made.problem = QStringLiteral("The folder %1 cannot be made: %2")
                               .arg(parent.folder + name, QString::fromLocal8Bit(std::strerror(error)));
    }
    m_levels.insert(wanted, made);
    return made;
}
