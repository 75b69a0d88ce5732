// The batch driver's cost per file: the same 20 conversions (30-second WAV to MP3 at 192k) once through
// the main window's driver, once as plain FFmpeg command lines run back to back, and once through the
// program started from a terminal (--convert) with the same program folder and settings. Then the cost
// of names from tags: the same files through the driver with our own tool, names kept against
// "Artist/Album/NN Title" (a tag probe before each file's name).
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/MsgBox.h"
#include "ui/Sound.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

// The output folder is not opened in a benchmark.
class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl&) {}
};

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int files = 20;
    const QString ffmpeg = QStandardPaths::findExecutable(QStringLiteral("ffmpeg"));
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    QFile::link(ffmpeg, dir.filePath(QStringLiteral("data/conv.exe")));

    QStringList inputs;
    for (int i = 0; i < files; ++i) {
        const QString wav = dir.filePath(QStringLiteral("in%1.wav").arg(i));
        QProcess::execute(ffmpeg, {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                   QStringLiteral("sine=frequency=%1:duration=30").arg(300 + i * 10), "-ac", "2",
                                   "-c:a", "pcm_s16le", wav});
        inputs.append(wav);
    }

    QDir(dir.path()).mkpath(QStringLiteral("plain"));
    QElapsedTimer clock;
    clock.start();
    for (const QString& in : inputs) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(ffmpeg, {"-i", in, "-y", "-vn", "-ab", "192k", "-ar", "44100", "-ac", "2",
                         dir.filePath(QStringLiteral("plain/") + QFileInfo(in).baseName() + ".mp3")});
        p.waitForFinished(-1);
        p.readAll();
    }
    const double plain = clock.nsecsElapsed() / 1e9;

    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
    Sound::setPlayer([](const QString&) {});
    MsgBox::setPresenter([](const MsgBox::Shown& s) { std::fprintf(stderr, "%s\n", qPrintable(s.text)); });
    frmMain window(dir.path());
    window.ui().txtPath->setText(dir.filePath(QStringLiteral("driver")));
    window.ui().cmbOF->setCurrentIndex(0);
    for (const QString& in : inputs)
        window.ui().lstFile->append(in);
    QEventLoop finished;
    QObject::connect(&window, &frmMain::batchFinished, &finished, &QEventLoop::quit);
    clock.restart();
    window.commands()->action(MainCommands::Convert)->trigger();
    finished.exec();
    const double driver = clock.nsecsElapsed() / 1e9;

    // The terminal mode takes its program folder from where its executable lies: a copy of it there.
    const QString program = dir.filePath(QStringLiteral("veltra-wma-converter"));
    QFile::copy(QStringLiteral(VELTRA_PROGRAM), program);
    QProcess terminal;
    terminal.setStandardOutputFile(QProcess::nullDevice());
    terminal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    clock.restart();
    terminal.start(program, QStringList{"--convert", "--format", "mp3", "--bitrate", "192", "--rate", "44100",
                                        "--channels", "2", "--output", dir.filePath(QStringLiteral("terminal"))} +
                                inputs);
    terminal.waitForFinished(-1);
    const double fromTerminal = clock.nsecsElapsed() / 1e9;
    const int terminalMade = int(QDir(dir.filePath(QStringLiteral("terminal"))).entryList(QDir::Files).size());

    // Our own tool: names kept, then names from tags.
    QTemporaryDir own;
    QDir(own.path()).mkpath(QStringLiteral("data"));
    QFile::link(QStringLiteral(VELTRA_CONV_TOOL), own.filePath(QStringLiteral("data/conv.exe")));
    // Alternating, run after run, so a busy moment of the machine falls on both alike; medians compared.
    constexpr int kRuns = 5;
    std::vector<double> ownSeconds[2];
    int ownConverted[2] = {0, 0};
    for (int run = 0; run < kRuns; ++run) {
        for (int named = 0; named < 2; ++named) {
            frmMain ownWindow(own.path());
            const QString out = own.filePath(QStringLiteral("%1-%2").arg(named ? "tags" : "kept").arg(run));
            ownWindow.ui().txtPath->setText(out);
            ownWindow.ui().cmbOF->setCurrentIndex(0);
            ownWindow.options().OutputNames = named;
            for (const QString& in : inputs)
                ownWindow.ui().lstFile->append(in);
            QEventLoop ended;
            QObject::connect(&ownWindow, &frmMain::batchFinished, &ended, &QEventLoop::quit);
            clock.restart();
            ownWindow.commands()->action(MainCommands::Convert)->trigger();
            ended.exec();
            ownSeconds[named].push_back(clock.nsecsElapsed() / 1e9);
            ownConverted[named] = ownWindow.lastBatch().converted();
            QDir(out).removeRecursively();
        }
    }
    const auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v[v.size() / 2];
    };
    const double kept = median(ownSeconds[0]);
    const double tagged = median(ownSeconds[1]);

    std::printf("%d files, 30 s WAV to MP3 192k\n", files);
    std::printf("plain loop of FFmpeg command lines: %.2f s\n", plain);
    std::printf("through the batch driver:           %.2f s (%d converted)\n", driver, window.lastBatch().converted());
    std::printf("from a terminal (--convert):        %.2f s (%d converted, exit %d)\n", fromTerminal, terminalMade,
                terminal.exitCode());
    std::printf("driver overhead: %.1f ms per file (including the one-time 100 ms start delay)\n",
                (driver - plain) * 1000 / files);
    std::printf("our own tool, names kept:           %.2f s (%d converted; median of %d, alternating)\n", kept,
                ownConverted[0], kRuns);
    std::printf("our own tool, names from tags:      %.2f s (%d converted), %.3fx\n", tagged, ownConverted[1],
                tagged / kept);
    return 0;
}

#include "batch_bench.moc"
