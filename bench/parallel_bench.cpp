// Several files at once, side by side in one run: the batch driver with the real conv.exe at one file at
// a time and at Auto, the same command lines run N at a time by xargs -P (the floor for one process per
// file), and soundconverter when it is installed. Ten 60-second and forty 3-second WAV files to MP3 at
// 192k; the runs alternate and each figure is the median of five. Prints every figure and the ratios.
#include "BenchBatch.h"
#include "BenchRun.h"
#include "convert/BatchDriver.h"
#include "filelist/FileQueue.h"
#include "settings/FilesAtOnce.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

namespace {
void fresh(const QString& folder)
{
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
}

// The headless batch: the program's own driver, as the window runs it.
double driver(const QString& programFolder, const QStringList& inputs, const QString& out, int filesAtOnce)
{
    fresh(out);
    FileQueue queue;
    queue.appendMany(inputs);
    BatchDriver batch(&queue);
    CommandBuilder::Request setup = BenchBatch::Mp3Setup(programFolder, out);
    setup.options.FilesAtOnce = filesAtOnce;
    QEventLoop loop;
    QObject::connect(&batch, &BatchDriver::batchEnded, &loop, &QEventLoop::quit);
    QElapsedTimer t;
    t.start();
    batch.Start(setup);
    loop.exec();
    const double s = t.nsecsElapsed() / 1e9;
    if (batch.outcome().converted() != inputs.size())
        std::printf("  the driver converted %d of %lld\n", batch.outcome().converted(), (long long)inputs.size());
    return s;
}

// The same command lines, N at a time, by xargs -P.
double xargs(const QString& tool, const QStringList& inputs, const QString& out, int n)
{
    fresh(out);
    QByteArray pairs;
    for (const QString& in : inputs)
        pairs +=
            in.toUtf8() + '\0' + (out + QLatin1Char('/') + QFileInfo(in).completeBaseName() + ".mp3").toUtf8() + '\0';
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("xargs"),
            {"-0", "-P", QString::number(n), "-n", "2", "sh", "-c",
             "exec \"$0\" -i \"$1\" -y -vn -ab 192k -ar 44100 -ac 2 \"$2\" > /dev/null 2>&1", tool});
    p.write(pairs);
    p.closeWriteChannel();
    p.waitForFinished(-1);
    return t.nsecsElapsed() / 1e9;
}

double soundconverter(const QStringList& inputs, const QString& out)
{
    fresh(out);
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    QElapsedTimer t;
    t.start();
    p.start(QStringLiteral("soundconverter"),
            QStringList{"-b", "-f", "mp3", "-m", "cbr", "-q", "192", "-o", out} + inputs);
    p.waitForFinished(-1);
    const double s = t.nsecsElapsed() / 1e9;
    const qsizetype made = QDir(out).entryList({QStringLiteral("*.mp3")}, QDir::Files).size();
    if (made != inputs.size())
        std::printf("  soundconverter made %lld of %lld files\n", (long long)made, (long long)inputs.size());
    return s;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString programFolder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(VELTRA_BIN_DIR);
    const QString tool = programFolder + QStringLiteral("/data/conv.exe");
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    const int autoSlots = FilesAtOnce::Resolve(0);
    const bool havePeer = !QStandardPaths::findExecutable(QStringLiteral("soundconverter")).isEmpty();
    QTemporaryDir dir;

    struct Set
    {
        const char* name;
        int files;
        int seconds;
    };
    for (const Set& set : {Set{"ten 60-second files", 10, 60}, Set{"forty 3-second files", 40, 3}}) {
        QStringList inputs;
        const QString folder = dir.filePath(QStringLiteral("%1s").arg(set.seconds));
        QDir().mkpath(folder);
        for (int i = 0; i < set.files; ++i) {
            const QString wav = folder + QStringLiteral("/track%1.wav").arg(i, 2, 10, QLatin1Char('0'));
            QProcess::execute(QStringLiteral("ffmpeg"),
                              {"-nostdin", "-v", "error", "-y", "-f", "lavfi", "-i",
                               QStringLiteral("sine=frequency=%1:duration=%2").arg(300 + 7 * i).arg(set.seconds), "-ac",
                               "2", "-c:a", "pcm_s16le", wav});
            inputs.append(wav);
        }
        const QString out = dir.filePath(QStringLiteral("out"));
        std::map<std::string, std::vector<double>> times;
        std::vector<std::pair<std::string, std::function<double()>>> contenders = {
            {"driver at 1", [&] { return driver(programFolder, inputs, out, 1); }},
            {"driver at Auto", [&] { return driver(programFolder, inputs, out, 0); }},
            {"xargs -P Auto", [&] { return xargs(tool, inputs, out, autoSlots); }},
        };
        if (havePeer)
            contenders.push_back({"soundconverter", [&] { return soundconverter(inputs, out); }});
        for (int run = 0; run < runs; ++run) {
            for (auto& [name, go] : contenders) {
                const double s = go();
                times[name].push_back(s);
                std::printf("  %s, run %d: %s %.3f s\n", set.name, run + 1, name.c_str(), s);
                std::fflush(stdout);
            }
        }
        const double one = BenchRun::Median(times["driver at 1"]);
        const double all = BenchRun::Median(times["driver at Auto"]);
        const double floor = BenchRun::Median(times["xargs -P Auto"]);
        std::printf("%s (Auto = %d at once): driver at 1 %.3f s, at Auto %.3f s, xargs -P %.3f s; Auto / xargs %.2f, "
                    "Auto / 1 %.2f",
                    set.name, autoSlots, one, all, floor, all / floor, all / one);
        if (havePeer) {
            const double peer = BenchRun::Median(times["soundconverter"]);
            std::printf(", soundconverter %.3f s, Auto / soundconverter %.2f", peer, all / peer);
        }
        std::printf("\n");
        std::fflush(stdout);
    }
    return 0;
}
