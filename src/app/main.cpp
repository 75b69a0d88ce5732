#include "app/QuitSignals.h"
#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "ui/QtMsgBox.h"

#include <QApplication>
#include <QLockFile>
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

    // A second start ends here, silently, before any window or file is touched.
    const auto lock = SingleInstance::Acquire(QCoreApplication::applicationFilePath());
    if (!lock)
        return 0;

    QtMsgBox::install();
    frmMain window(QCoreApplication::applicationDirPath());
    // Every way out ends the process at once; a conversion tool still running is left to finish.
    window.setProcessEnder([&lock] {
        lock->unlock();
        ::_exit(0);
    });
    // Logging off or a closed terminal ends the program as closing the window does.
    QuitSignals::install([&window] { window.close(); });
    window.show();
    return app.exec();
}
