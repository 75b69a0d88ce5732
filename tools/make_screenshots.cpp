// Stages the main window as a user sees it and saves pictures of it for the documentation: a list being
// converted (the start button is the Stop button then), the focus ring on a toolbar button, a selector and
// the list, the Options window and one of the program's message boxes.
// Run under an X server (xvfb-run): make_screenshots PROGRAM_FOLDER OUTPUT_FOLDER
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "settings/frmOptions.h"
#include "ui/MsgBox.h"
#include "ui/QtMsgBox.h"
#include "ui/Sound.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMessageBox>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QTreeView>
#include <cstdio>

namespace {
void wait(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace

int main(int argc, char** argv)
{
    if (argc < 3) {
        std::fprintf(stderr, "usage: make_screenshots PROGRAM_FOLDER OUTPUT_FOLDER\n");
        return 2;
    }
    QApplication app(argc, argv);
    const QString bin = QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath();
    const QString out = QString::fromLocal8Bit(argv[2]);
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    QFile::link(bin + QStringLiteral("/data/conv.exe"), dir.filePath(QStringLiteral("data/conv.exe")));
    const QString music = dir.filePath(QStringLiteral("Hot Fuss"));
    QDir().mkpath(music);
    const QStringList tracks = {"01. Jenny Was a Friend of Mine",      "02. Mr. Brightside",
                                "03. Smile Like You Mean It",          "04. Somebody Told Me",
                                "05. All These Things That I've Done", "06. Andy, You're a Star"};
    for (int i = 0; i < tracks.size(); ++i) {
        QProcess::execute(QStringLiteral("ffmpeg"),
                          {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                           QStringLiteral("sine=frequency=%1:duration=240").arg(220 + 40 * i), "-ac", "2",
                           music + QLatin1Char('/') + tracks[i] + QStringLiteral(".flac")});
    }
    Sound::setPlayer([](const QString&) {});
    QtMsgBox::install();

    frmMain window(dir.path());
    window.seams().endProcess = [] {};
    window.ui().txtPath->setText(QDir::homePath() + QStringLiteral("/Music/Converted"));
    for (const QString& t : tracks)
        window.ui().lstFile->append(music + QLatin1Char('/') + t + QStringLiteral(".flac"));
    window.ui().cmbOF->setCurrentIndex(0);
    window.ui().txtPath->setText(dir.filePath(QStringLiteral("Converted")));
    window.show();
    wait(300);
    window.commands()->action(MainCommands::Convert)->trigger();
    wait(2500);
    window.grab().save(out + QStringLiteral("/stop-button.png"));
    window.commands()->action(MainCommands::Stop)->trigger();
    wait(500);

    // The keyboard's focus, each on the part of the window around it.
    window.activateWindow();
    wait(300);
    const auto focusShot = [&](QWidget* focus, const QRect& area, const char* name) {
        focus->setFocus(Qt::TabFocusReason);
        wait(200);
        window.grab(area).save(out + QLatin1Char('/') + QLatin1String(name));
    };
    focusShot(window.ui().imgToolbar[6], QRect(8, 48, 540, 68), "focus-button.png");
    focusShot(window.ui().cmbBR, QRect(478, 140, 212, 228), "focus-selector.png");
    const QModelIndex second = window.ui().lstFile->index(1, 0);
    window.ui().LV->selectionModel()->select(second, QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.ui().LV->selectionModel()->select(window.ui().lstFile->index(3, 0),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
    window.ui().LV->selectionModel()->setCurrentIndex(window.ui().lstFile->index(3, 0), QItemSelectionModel::NoUpdate);
    focusShot(window.ui().LV, QRect(8, 150, 474, 292), "focus-list.png");

    frmOptions options(window.options(), dir.path());
    options.show();
    wait(300);
    options.grab().save(out + QStringLiteral("/options.png"));
    options.close();

    QTimer::singleShot(700, [&] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            box->grab().save(out + QStringLiteral("/message-box.png"));
            box->close();
        }
    });
    MsgBox::show(QStringLiteral("1 of 6 files could not be converted and is back in the list:\n\n") + music +
                     QStringLiteral("/04. Somebody Told Me.flac\n    No space left on device"),
                 MsgBox::Icon::Warning);
    std::printf("saved stop-button.png, focus-button.png, focus-selector.png, focus-list.png, options.png and "
                "message-box.png in %s\n",
                argv[2]);
    return 0;
}
