#include "app/ProgramStart.h"
#include "filelist/PathBytes.h"

#include <QApplication>
#include <QDir>
#include <climits>
#include <csignal>
#include <unistd.h>

int main(int argc, char* argv[])
{
    // A conversion tool must outlive a closed pipe, and so must we; children inherit the ignore.
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltra WMA Converter"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("example.veltrasoft.WmaConverter"));

    // From argv itself, which QApplication has stripped of its own options: arguments() decodes each one
    // as UTF-8 and turns a name that is not into a look-alike of it.
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(PathBytes::Decode(QByteArray(argv[i])));
    char cwd[PATH_MAX];
    const QString currentFolder = ::getcwd(cwd, sizeof cwd) ? PathBytes::Decode(QByteArray(cwd)) : QDir::currentPath();

    return ProgramStart::Run(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath(),
                             ProgramStart::PathsFrom(arguments, currentFolder));
}
