// Starts a batch in a real main window and uses the exit command while the tool still runs, as a user
// would; the test that starts this program checks what is left afterwards.
// Usage: exit_while_converting PROGRAM_FOLDER INPUT
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/HotArea.h"

#include <QApplication>
#include <QLineEdit>
#include <QTimer>
#include <csignal>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 3)
        return 2;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmMain window(QString::fromLocal8Bit(argv[1]));
    window.setProcessEnder([] { ::_exit(0); });
    window.setScratchFiles({});
    window.txtPath->setText(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/out"));
    window.lstFile->append(QString::fromLocal8Bit(argv[2]));
    window.show();
    window.imgConvert_Click();
    QTimer::singleShot(600, [&] { window.imgExit_Click(); });
    app.exec();
    return 3; // only reached if the exit command did not end the process
}
