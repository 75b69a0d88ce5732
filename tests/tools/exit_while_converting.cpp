// Starts a batch in a real main window and leaves while the tool still runs, as a user would: by the
// exit command once the file has started, or (with "signal") by a signal to the program, as logging off
// or closing its terminal does. The test that starts this program checks what is left afterwards.
// Usage: exit_while_converting PROGRAM_FOLDER INPUT [signal SCRATCH_FILE]
#include "app/QuitSignals.h"
#include "app/frmMain.h"
#include "convert/BatchDriver.h"
#include "filelist/FileQueue.h"
#include "ui/HotArea.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <csignal>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (argc < 3)
        return 2;
    const bool bySignal = argc >= 5 && QByteArray(argv[3]) == "signal";
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    frmMain window(QString::fromLocal8Bit(argv[1]));
    window.seams().endProcess = [] { ::_exit(0); };
    window.seams().scratchFiles = bySignal ? QStringList{QString::fromLocal8Bit(argv[4])} : QStringList{};
    window.ui().txtPath->setText(QString::fromLocal8Bit(argv[1]) + QStringLiteral("/out"));
    window.ui().lstFile->append(QString::fromLocal8Bit(argv[2]));
    window.show();
    if (bySignal)
        QuitSignals::install([&window] { window.close(); });
    else
        QObject::connect(
            window.batch(), &BatchDriver::fileStarted, &window,
            [&window] { window.commands()->action(MainCommands::Exit)->trigger(); }, Qt::QueuedConnection);
    window.commands()->action(MainCommands::Convert)->trigger();
    app.exec();
    return 3; // only reached if the way out did not end the process
}
