#include "app/ProgramStart.h"
#include "cli/BatchOptions.h"
#include "cli/BatchRun.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <csignal>

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
        return BatchRun::Run(arguments, QCoreApplication::applicationDirPath(), QDir::currentPath());
    }

    QApplication app(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(QStringLiteral("example.veltrasoft.WmaConverter"));

    return ProgramStart::Run(QCoreApplication::applicationFilePath(), QCoreApplication::applicationDirPath(),
                             ProgramStart::PathsFrom(QCoreApplication::arguments().mid(1), QDir::currentPath()));
}
