// A 15-track album image through the batch against the same 15 tracks as separate files: the image
// listed from its cue sheet (one row per track, each converted from its range), the files listed as
// they are, both converted to MP3 at 192k by the program's own driver one file at a time, as the window
// runs it. The two ways alternate run by run; prints every run, the medians and their ratio, and
// whether the image's tracks converted to FLAC through the batch join to the image's very samples.
#include "BenchRun.h"
#include "convert/BatchDriver.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

constexpr int kTracks = 15;

bool ffmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args);
    return p.waitForFinished(-1) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QByteArray decodedMd5(const QStringList& files)
{
    QCryptographicHash md5(QCryptographicHash::Md5);
    for (const QString& f : files) {
        QProcess p;
        p.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", f, "-f", "s16le", "-"});
        p.waitForFinished(-1);
        md5.addData(p.readAllStandardOutput());
    }
    return md5.result().toHex();
}
// Lists the inputs as the window lists picked files, converts them all, and gives the seconds it took
// from the start command to the end of the batch; -1 when not every row converted.
double batch(const QString& programFolder, const QStringList& inputs, const QString& out, int format)
{
    QDir(out).removeRecursively();
    QDir().mkpath(out);
    FileQueue queue;
    ListFiller filler(&queue);
    filler.addFiles(inputs);
    const int rows = queue.count();
    BatchDriver driver(&queue);
    CommandBuilder::Request r;
    r.programFolder = programFolder;
    r.outputFolder = out;
    r.formatIndex = format;
    r.bitrate = QStringLiteral("192");
    r.sampleRate = QStringLiteral("44100");
    r.channelIndex = 1;
    r.options.OutputFiles = OutputLayout::AllInOne;
    r.options.FilesAtOnce = 1;
    QEventLoop loop;
    QObject::connect(&driver, &BatchDriver::batchEnded, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    driver.Start(r);
    loop.exec();
    const double seconds = clock.nsecsElapsed() / 1e9;
    if (rows != kTracks || driver.outcome().converted() != rows) {
        std::printf("  %d rows listed, %d converted\n", rows, driver.outcome().converted());
        return -1;
    }
    return seconds;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString programFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VELTRA_BIN_DIR);
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
    QTemporaryDir dir;
    const auto path = [&](const QString& name) { return dir.filePath(name); };

    // Tracks of 45 to 78 seconds, each a whole number of CD frames (the sheet's unit), pink noise.
    std::vector<qint64> frames = {0};
    for (int i = 0; i < kTracks; ++i)
        frames.push_back(frames.back() + 45 * 75 + i * 178 + 7);
    const qint64 total = frames.back() * 588;
    QByteArray sheet = "PERFORMER \"Noise\"\nTITLE \"Bench\"\nFILE \"image.wav\" WAVE\n";
    QStringList separate;
    for (int t = 0; t < kTracks; ++t) {
        const qint64 f = frames[size_t(t)];
        sheet += QStringLiteral("  TRACK %1 AUDIO\n    TITLE \"Part %2\"\n    INDEX 01 %3:%4:%5\n")
                     .arg(t + 1, 2, 10, QLatin1Char('0'))
                     .arg(t + 1)
                     .arg(f / 75 / 60, 2, 10, QLatin1Char('0'))
                     .arg(f / 75 % 60, 2, 10, QLatin1Char('0'))
                     .arg(f % 75, 2, 10, QLatin1Char('0'))
                     .toUtf8();
        separate.append(path(QStringLiteral("tracks/%1.flac").arg(t + 1, 2, 10, QLatin1Char('0'))));
    }
    QDir().mkpath(path(QStringLiteral("image")));
    QDir().mkpath(path(QStringLiteral("tracks")));
    const QString wav = path(QStringLiteral("image.wav"));
    const QString image = path(QStringLiteral("image/image.flac"));
    if (!ffmpeg({"-f", "lavfi", "-i",
                 QStringLiteral("anoisesrc=c=pink:a=0.3:r=44100:d=%1").arg(double(total) / 44100 + 1), "-ac", "2",
                 "-af", QStringLiteral("atrim=end_sample=%1").arg(total), "-c:a", "pcm_s16le", wav}) ||
        !ffmpeg({"-i", wav, image})) {
        std::fprintf(stderr, "cannot make the image in %s\n", qPrintable(dir.path()));
        return 1;
    }
    QFile cue(path(QStringLiteral("image/image.cue")));
    if (!cue.open(QIODevice::WriteOnly) || cue.write(sheet) != sheet.size())
        return 1;
    cue.close();
    for (int t = 0; t < kTracks; ++t) {
        if (!ffmpeg({"-i", wav, "-af",
                     QStringLiteral("atrim=start_sample=%1:end_sample=%2")
                         .arg(frames[size_t(t)] * 588)
                         .arg(frames[size_t(t) + 1] * 588),
                     separate[t]}))
            return 1;
    }

    // Lossless through the batch: the tracks joined against the image.
    const QString lossless = path(QStringLiteral("flac"));
    if (batch(programFolder, {image}, lossless, 4) < 0)
        return 1;
    QStringList tracks;
    for (const QString& name : QDir(lossless + QStringLiteral("/image")).entryList(QDir::Files, QDir::Name))
        tracks.append(lossless + QStringLiteral("/image/") + name);
    const QByteArray imageSum = decodedMd5({wav});
    const QByteArray tracksSum = decodedMd5(tracks);
    std::printf("md5 of the image's samples:                       %s\n", imageSum.constData());
    std::printf("md5 of its %lld FLAC tracks' samples joined (batch): %s (%s)\n", (long long)tracks.size(),
                tracksSum.constData(), imageSum == tracksSum ? "identical" : "DIFFERENT");

    std::printf("%d tracks, %.1f minutes, FLAC to MP3 192k through the batch, one file at a time\n", kTracks,
                double(total) / 44100 / 60);
    std::vector<double> ofImage;
    std::vector<double> ofFiles;
    for (int run = 0; run < runs; ++run) {
        // Which way goes first alternates too, so neither always meets a cold or a warm cache.
        const bool imageFirst = run % 2 == 0;
        for (int way = 0; way < 2; ++way) {
            const bool asImage = (way == 0) == imageFirst;
            const double s = asImage ? batch(programFolder, {image}, path(QStringLiteral("out-image")), 0)
                                     : batch(programFolder, separate, path(QStringLiteral("out-files")), 0);
            if (s < 0)
                return 1;
            (asImage ? ofImage : ofFiles).push_back(s);
        }
        std::printf("  run %d: image %.2f s, separate files %.2f s\n", run + 1, ofImage.back(), ofFiles.back());
    }
    std::printf("medians: image %.2f s, separate files %.2f s, ratio %.3f\n", BenchRun::Median(ofImage),
                BenchRun::Median(ofFiles), BenchRun::Median(ofImage) / BenchRun::Median(ofFiles));
    return 0;
}
