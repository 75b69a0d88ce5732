#include "app/ProgramStart.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"
#include "filelist/PathBytes.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <climits>
#include <csignal>
#include <unistd.h>

namespace {
void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("Veltra WMA Converter"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
}
} // namespace

int main(int argc, char* argv[])
{
    // A conversion tool must outlive a closed pipe, and so must we; children inherit the ignore.
    std::signal(SIGPIPE, SIG_IGN);

    // Decided before any application object exists: a conversion from the terminal must not need a
    // display, and the application objects take options of their own out of argv.
    const QList<QByteArray> arguments = BatchOptions::FromArgv(argc, argv);
    if (BatchOptions::Requested(arguments)) {
        QCoreApplication app(argc, argv);
        nameApplication();
        char cwd[PATH_MAX];
        const QString here = ::getcwd(cwd, sizeof cwd) ? PathBytes::Decode(QByteArray(cwd)) : QDir::currentPath();
        return BatchRun::Run(arguments, QCoreApplication::applicationDirPath(), here);
    }

    QApplication app(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(QStringLiteral("example.veltrasoft.WmaConverter"));

    // From argv itself, which QApplication has stripped of its own options: arguments() decodes each one
    // as UTF-8 and turns a name that is not into a look-alike of it.
    QStringList paths;
    for (int i = 1; i < argc; ++i)
        paths.append(PathBytes::Decode(QByteArray(argv[i])));
    char cwd[PATH_MAX];
    const QString currentFolder = ::getcwd(cwd, sizeof cwd) ? PathBytes::Decode(QByteArray(cwd)) : QDir::currentPath();

    return ProgramStart::Run(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath(),
                             ProgramStart::PathsFrom(paths, currentFolder));
}
