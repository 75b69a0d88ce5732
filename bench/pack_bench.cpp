// The 400 x 0.5 s pack: the window against the terminal mode (--convert) on the same files and settings,
// rounds alternating so a neighbour's build slows both alike (target: the window within 1.15x); then what
// the end of a batch waits for its outputs to be written out (one syncfs per file system), into a
// folder of the disk and, when fusefat is here, onto a FAT stick image through FUSE.
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
#include <QThread>
#include <algorithm>
#include <cstdio>

class UrlSink : public QObject
{
    Q_OBJECT
public slots:
    void open(const QUrl&) {}
};

namespace {
int filesIn(const QString& folder)
{
    return int(QDir(folder).entryList(QDir::Files).size());
}

double throughWindow(frmMain& window, const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    window.ui().txtPath->setText(out);
    window.ui().lstFile->appendMany(inputs);
    QEventLoop finished;
    QObject::connect(&window, &frmMain::batchFinished, &finished, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    window.commands()->action(MainCommands::Convert)->trigger();
    finished.exec();
    return clock.nsecsElapsed() / 1e9;
}

double fromTerminal(const QString& program, const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    QProcess terminal;
    terminal.setStandardOutputFile(QProcess::nullDevice());
    terminal.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer clock;
    clock.start();
    terminal.start(program, QStringList{"--convert", "--format", "mp3", "--bitrate", "192", "--rate", "44100",
                                        "--channels", "2", "--output", out} +
                                inputs);
    terminal.waitForFinished(-1);
    return clock.nsecsElapsed() / 1e9;
}

struct EndWait
{
    double batch = 0;     // Start to the end
    double afterLast = 0; // the last file's end to the batch's end: the sync, and the end's own steps
    int converted = 0;
    int notWrittenOut = 0;
};

EndWait throughDriver(const QString& programFolder, const QStringList& inputs, const QString& out)
{
    QDir(out).removeRecursively();
    FileQueue queue;
    BatchDriver driver(&queue);
    CommandBuilder::Request setup = BenchBatch::Mp3Setup(programFolder, out);
    queue.appendMany(inputs);
    QElapsedTimer clock;
    qint64 lastEnd = 0;
    qint64 end = 0;
    QObject::connect(&driver, &BatchDriver::fileEnded, &driver, [&] { lastEnd = clock.nsecsElapsed(); });
    QEventLoop finished;
    QObject::connect(&driver, &BatchDriver::batchEnded, &finished, [&] {
        end = clock.nsecsElapsed();
        finished.quit();
    });
    clock.start();
    driver.Start(setup);
    finished.exec();
    return {end / 1e9, (end - lastEnd) / 1e6, driver.outcome().converted(),
            int(driver.outcome().notWrittenOut().size())};
}
// A FAT image mounted through fusefat, as a stick is in the tests; empty when it cannot be.
QString mountStick(const QString& folder)
{
    if (!QFile::exists(QStringLiteral("/dev/fuse")) || QStandardPaths::findExecutable("fusefat").isEmpty() ||
        QStandardPaths::findExecutable("mkfs.fat").isEmpty())
        return {};
    const QString image = folder + QStringLiteral("/fat.img");
    const QString mount = folder + QStringLiteral("/stick");
    QFile img(image);
    if (!img.open(QIODevice::WriteOnly) || !img.resize(64 * 1024 * 1024))
        return {};
    img.close();
    QDir().mkpath(mount);
    if (QProcess::execute(QStringLiteral("mkfs.fat"), {"-F", "16", image}) != 0 ||
        QProcess::execute(QStringLiteral("fusefat"), {"-o", "rw+", image, mount}) != 0)
        return {};
    for (int i = 0; i < 50; ++i) {
        QFile mounts(QStringLiteral("/proc/mounts"));
        if (mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(" " + QFile::encodeName(mount) + " "))
            return mount;
        QThread::msleep(100);
    }
    return {};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as it comes, even into a file
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 5;
    // "window" as the second argument: the window's rounds alone, for a profiler.
    const bool windowOnly = argc > 2 && QByteArray(argv[2]) == "window";
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("data"));
    QFile::link(QStringLiteral(VELTRA_BIN_DIR "/data/conv.exe"), dir.filePath(QStringLiteral("data/conv.exe")));
    // The terminal mode takes its program folder from where its executable lies: a copy of it there.
    const QString program = dir.filePath(QStringLiteral("veltra-wma-converter"));
    QFile::copy(QStringLiteral(VELTRA_PROGRAM), program);
    const QStringList pack = BenchBatch::ToneSet(dir.filePath(QStringLiteral("pack")), 400, 0.5);

    UrlSink sink;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &sink, "open");
    Sound::setPlayer([](const QString&) {});
    MsgBox::setPresenter([](const MsgBox::Shown& s) { std::fprintf(stderr, "%s\n", qPrintable(s.text)); });
    frmMain window(dir.path());
    window.show();
    window.ui().cmbOF->setCurrentIndex(0);
    window.ui().cmbBR->setCurrentIndex(window.ui().cmbBR->findText(QStringLiteral("192")));
    window.ui().cmbR->setCurrentIndex(window.ui().cmbR->findText(QStringLiteral("44100")));
    window.ui().cmbChannel->setCurrentIndex(1);

    std::printf("400 x 0.5 s WAV to MP3 192k 44100 Hz stereo, Files at once Auto, %d alternating rounds (the "
                "machine is shared: read the spread)\n",
                rounds);
    QList<double> windowTimes, terminalTimes, driverTimes, ratios;
    for (int r = 0; r < rounds; ++r) {
        // Which goes first alternates too: neither always meets a warm or a cold cache.
        const bool windowFirst = r % 2 == 0;
        double w = 0;
        double t = 0;
        if (windowFirst)
            w = throughWindow(window, pack, dir.filePath(QStringLiteral("window")));
        if (!windowOnly)
            t = fromTerminal(program, pack, dir.filePath(QStringLiteral("terminal")));
        if (!windowFirst)
            w = throughWindow(window, pack, dir.filePath(QStringLiteral("window")));
        // The driver alone, without a window, on the same round: what the window itself adds.
        const double d = throughDriver(dir.path(), pack, dir.filePath(QStringLiteral("driver"))).batch;
        driverTimes.append(d);
        windowTimes.append(w);
        terminalTimes.append(t);
        ratios.append(w / t);
        std::printf("round %d: window %.2f s (%d files), terminal %.2f s (%d files), ratio %.3fx; the driver alone "
                    "%.2f s\n",
                    r + 1, w, filesIn(dir.filePath(QStringLiteral("window"))), t,
                    filesIn(dir.filePath(QStringLiteral("terminal"))), w / t, d);
    }
    std::printf("window median %.2f s, terminal median %.2f s, driver alone median %.2f s; ratio median %.3fx, spread "
                "%.3f-%.3fx (target at "
                "most 1.15x)\n",
                BenchRun::Median(windowTimes), BenchRun::Median(terminalTimes), BenchRun::Median(driverTimes),
                BenchRun::Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
                *std::max_element(ratios.begin(), ratios.end()));

    // Each round into a folder of its own: removing hundreds of files through fusefat takes minutes.
    if (windowOnly)
        return 0;
    const auto endWaits = [&](const char* where, const QString& out, const QStringList& files, int times) {
        QList<double> waits, totals;
        EndWait last;
        for (int r = 0; r < times; ++r) {
            last = throughDriver(dir.path(), files, out + QStringLiteral("/round%1").arg(r + 1));
            waits.append(last.afterLast);
            totals.append(last.batch);
        }
        std::printf(
            "%s, %lld files: batch median %.2f s; from the last file's end to the batch's end (the sync included) "
            "median %.1f ms, spread %.1f-%.1f ms; %d converted, %d file systems not written out\n",
            where, qint64(files.size()), BenchRun::Median(totals), BenchRun::Median(waits),
            *std::min_element(waits.begin(), waits.end()), *std::max_element(waits.begin(), waits.end()),
            last.converted, last.notWrittenOut);
    };
    endWaits("into a folder of the disk", dir.filePath(QStringLiteral("synced")), pack, rounds);
    const QString stick = mountStick(dir.path());
    if (stick.isEmpty()) {
        std::printf("no fusefat stick here (needs /dev/fuse, fusefat, mkfs.fat)\n");
    } else {
        // FUSE in one thread is slow with many files in one folder: a quarter of the pack, twice.
        endWaits("onto a fusefat FAT16 stick", stick + QStringLiteral("/Music"), pack.mid(0, 100), 2);
        QProcess::execute(QStringLiteral("fusermount"), {"-u", stick});
    }
    return 0;
}

#include "pack_bench.moc"
