#include "app/ProgramStart.h"

#include <QApplication>
#include <QDir>
#include <csignal>

int main(int argc, char* argv[])
{
    // A conversion tool must outlive a closed pipe, and so must we; children inherit the ignore.
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltra WMA Converter"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
    QApplication::setDesktopFileName(QStringLiteral("example.veltrasoft.WmaConverter"));

    return ProgramStart::Run(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath(),
                             ProgramStart::PathsFrom(QCoreApplication::arguments().mid(1), QDir::currentPath()));
}
