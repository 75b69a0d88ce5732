// Short files through the window against SoundConverter (GStreamer in one process, one job per core),
// and one file at a time through the batch driver against a plain loop of FFmpeg runs. Rounds alternate
// ours and theirs so a neighbour's build slows both alike; the machine is shared, so read the spread.
// Run bench/setup_peer.sh once first (it installs SoundConverter and the GStreamer plug-ins it needs).
#include "BenchBatch.h"
#include "BenchRun.h"
#include "app/frmMain.h"
#include "convert/BatchDriver.h"
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
#include <sys/resource.h>

class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl&) {}
};

namespace {

double cpuSeconds()
{
    rusage u{};
    ::getrusage(RUSAGE_SELF, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}
void selectText(QComboBox* box, const QString& text)
{
    const int i = box->findText(text);
    if (i >= 0)
        box->setCurrentIndex(i);
}

struct Timed
{
    double wall = 0;
    double programCpu = 0;
};

Timed throughWindow(frmMain& window, const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    window.ui().txtPath->setText(out);
    for (const QString& in : inputs)
        window.ui().lstFile->append(in);
    QEventLoop finished;
    QObject::connect(&window, &frmMain::batchFinished, &finished, &QEventLoop::quit);
    const double cpu = cpuSeconds();
    QElapsedTimer clock;
    clock.start();
    window.commands()->action(MainCommands::Convert)->trigger();
    finished.exec();
    return {clock.nsecsElapsed() / 1e9, cpuSeconds() - cpu};
}

double peer(const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QProcess p;
    p.setStandardInputFile(QProcess::nullDevice());
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer clock;
    clock.start();
    p.start(QStringLiteral("soundconverter"),
            QStringList{"-b"} + inputs + QStringList{"-f", "mp3", "-m", "cbr", "-q", "192", "-o", out});
    p.waitForFinished(-1);
    p.readAll();
    return clock.nsecsElapsed() / 1e9;
}

double oneAtATime(const QString& programFolder, const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    FileQueue queue;
    BatchDriver driver(&queue);
    CommandBuilder::Request setup = BenchBatch::Mp3Setup(programFolder, out);
    setup.options.FilesAtOnce = 1;
    queue.appendMany(inputs);
    QEventLoop finished;
    QObject::connect(&driver, &BatchDriver::batchEnded, &finished, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    driver.Start(setup);
    finished.exec();
    return clock.nsecsElapsed() / 1e9;
}

double ffmpegLoop(const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    QElapsedTimer clock;
    clock.start();
    for (const QString& in : inputs) {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("ffmpeg"), {"-i", in, "-y", "-vn", "-ab", "192k", "-ar", "44100", "-ac", "2",
                                           out + QLatin1Char('/') + QFileInfo(in).completeBaseName() + ".mp3"});
        p.waitForFinished(-1);
        p.readAll();
    }
    return clock.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    const bool havePeer = !QStandardPaths::findExecutable(QStringLiteral("soundconverter")).isEmpty();
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    QFile::link(QStringLiteral(VELTRA_BIN_DIR "/data/conv.exe"), dir.filePath(QStringLiteral("data/conv.exe")));

    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
    Sound::setPlayer([](const QString&) {});
    MsgBox::setPresenter([](const MsgBox::Shown& s) { std::fprintf(stderr, "%s\n", qPrintable(s.text)); });
    frmMain window(dir.path());
    window.ui().cmbOF->setCurrentIndex(0);
    selectText(window.ui().cmbBR, QStringLiteral("192"));
    selectText(window.ui().cmbR, QStringLiteral("44100"));
    window.ui().cmbChannel->setCurrentIndex(1);

    struct Set
    {
        const char* name;
        int files;
        double seconds;
        double limit;
    };
    std::printf("MP3 CBR 192k, 44100 Hz stereo, Files at once Auto, %d alternating rounds; ratios are ours / "
                "peer's wall time. The machine is shared: other builds may run meanwhile.\n",
                rounds);
    if (!havePeer)
        std::printf("soundconverter not found: run bench/setup_peer.sh; only our own times follow.\n");
    for (const Set& set :
         {Set{"forty 3-second files", 40, 3, 0.55}, Set{"four hundred 0.5-second files", 400, 0.5, 0.5},
          Set{"ten 60-second files", 10, 60, 0.6}}) {
        const QStringList inputs = BenchBatch::ToneSet(
            dir.filePath(QStringLiteral("in-%1-%2").arg(set.files).arg(set.seconds)), set.files, set.seconds);
        QList<double> ours, theirs, ratios;
        double cpuPerFile = 0;
        for (int r = 0; r < rounds; ++r) {
            const Timed t = throughWindow(window, inputs, dir.filePath(QStringLiteral("ours")));
            ours.append(t.wall);
            cpuPerFile = qMax(cpuPerFile, t.programCpu * 1000 / set.files);
            if (havePeer) {
                theirs.append(peer(inputs, dir.filePath(QStringLiteral("peer"))));
                ratios.append(ours.last() / theirs.last());
            }
        }
        const QList<double> firstThree = ratios.mid(0, 3);
        std::printf("%s: ours best %.2f s median %.2f s", set.name, *std::min_element(ours.begin(), ours.end()),
                    BenchRun::Median(ours));
        if (havePeer) {
            std::printf(", peer best %.2f s median %.2f s; ratio best of 3 %.2fx, median of %d %.2fx, spread "
                        "%.2f-%.2fx (target at most %.2fx)",
                        *std::min_element(theirs.begin(), theirs.end()), BenchRun::Median(theirs),
                        *std::min_element(firstThree.begin(), firstThree.end()), rounds, BenchRun::Median(ratios),
                        *std::min_element(ratios.begin(), ratios.end()),
                        *std::max_element(ratios.begin(), ratios.end()), set.limit);
        }
        std::printf("; the program's own CPU %.2f ms per file (worst round)\n", cpuPerFile);
    }

    const QStringList shortSet = BenchBatch::ToneSet(dir.filePath(QStringLiteral("in-40-3")), 40, 3);
    QList<double> jobs, loop, ratios;
    for (int r = 0; r < rounds; ++r) {
        jobs.append(oneAtATime(dir.path(), shortSet, dir.filePath(QStringLiteral("jobs"))));
        loop.append(ffmpegLoop(shortSet, dir.filePath(QStringLiteral("loop"))));
        ratios.append(jobs.last() / loop.last());
    }
    std::printf("one file at a time, forty 3-second files: job mode median %.2f s, ffmpeg loop median %.2f s; ratio "
                "best %.2fx, median %.2fx, spread %.2f-%.2fx (target at most 0.5x)\n",
                BenchRun::Median(jobs), BenchRun::Median(loop), *std::min_element(ratios.begin(), ratios.end()),
                BenchRun::Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));
    return 0;
}

#include "worker_bench.moc"
