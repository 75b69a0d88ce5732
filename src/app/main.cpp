#include "app/frmMain.h"
#include "ui/QtMsgBox.h"

#include <QApplication>
#include <csignal>

int main(int argc, char* argv[])
{
    // A conversion tool must outlive a closed pipe, and so must we; children inherit the ignore.
    std::signal(SIGPIPE, SIG_IGN);

    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Veltra WMA Converter"));
    QApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
    QtMsgBox::install();

    frmMain window(QCoreApplication::applicationDirPath());
    window.show();
    return app.exec();
}
