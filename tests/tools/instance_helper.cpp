// The program as main() starts it, for tests of what happens between two starts. It writes the window's
// file list to the file named by VELTRA_HELPER_LIST, one path a line, whenever the list changes.
// Usage: instance_helper PROGRAM_FOLDER [FILES AND FOLDERS...]
#include "app/ProgramStart.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"

#include <QApplication>
#include <QDir>
#include <QSaveFile>
#include <csignal>
#include <unistd.h>

int main(int argc, char** argv)
{
    std::signal(SIGPIPE, SIG_IGN);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() < 2)
        return 2;
    const QString listFile = qEnvironmentVariable("VELTRA_HELPER_LIST");
    return ProgramStart::Run(
        QCoreApplication::applicationFilePath(), args[1], ProgramStart::PathsFrom(args.mid(2), QDir::currentPath()),
        [listFile](frmMain& w) {
            const auto write = [&w, listFile] {
                QSaveFile f(listFile);
                if (f.open(QIODevice::WriteOnly)) {
                    f.write((w.ui().lstFile->paths().join(QLatin1Char('\n')) + QStringLiteral("\n")).toUtf8());
                    f.commit();
                }
            };
            write();
            QObject::connect(w.ui().lstFile, &QAbstractItemModel::rowsInserted, &w, write);
        });
}
