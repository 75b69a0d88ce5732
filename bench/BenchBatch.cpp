#include "BenchBatch.h"

#include <QDir>
#include <QFile>
#include <QProcess>

namespace BenchBatch {

QStringList ToneSet(const QString& folder, int files, double seconds)
{
    QDir().mkpath(folder);
    const QString first = folder + QStringLiteral("/f0000.wav");
    QProcess::execute(QStringLiteral("ffmpeg"), {"-nostdin", "-loglevel", "error", "-y", "-f", "lavfi", "-i",
                                                 QStringLiteral("sine=frequency=440:duration=%1").arg(seconds), "-ac",
                                                 "2", "-ar", "44100", "-c:a", "pcm_s16le", first});
    QStringList inputs{first};
    for (int i = 1; i < files; ++i) {
        inputs.append(folder + QStringLiteral("/f%1.wav").arg(i, 4, 10, QLatin1Char('0')));
        QFile::copy(first, inputs.last());
    }
    return inputs;
}

CommandBuilder::Request Mp3Setup(const QString& programFolder, const QString& out)
{
    CommandBuilder::Request setup;
    setup.programFolder = programFolder;
    setup.outputFolder = out;
    setup.formatIndex = 0;
    setup.bitrate = QStringLiteral("192");
    setup.sampleRate = QStringLiteral("44100");
    setup.channelIndex = 1;
    return setup;
}

} // namespace BenchBatch
