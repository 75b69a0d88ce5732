#include "AlbumImageFiles.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>

namespace AlbumImageFiles {

namespace {
const char* const kSheet = "REM GENRE Ambient\n"
                           "REM DATE 2001\n"
                           "REM DISCNUMBER 1\n"
                           "REM TOTALDISCS 2\n"
                           "REM REPLAYGAIN_ALBUM_GAIN -7.00 dB\n"
                           "PERFORMER \"The Tones\"\n"
                           "TITLE \"Sine Album\"\n"
                           "FILE \"%1\" WAVE\n"
                           "  TRACK 01 AUDIO\n"
                           "    TITLE \"%2\"\n"
                           "    REM REPLAYGAIN_TRACK_GAIN -6.00 dB\n"
                           "    INDEX 00 00:00:00\n"
                           "    INDEX 01 00:00:20\n"
                           "  TRACK 02 AUDIO\n"
                           "    TITLE \"AC/DC Cover\"\n"
                           "    PERFORMER \"Guest\"\n"
                           "    INDEX 01 00:04:00\n"
                           "  TRACK 03 AUDIO\n"
                           "    INDEX 00 00:07:00\n"
                           "    INDEX 01 00:08:00\n";
} // namespace

QByteArray Sheet(const QString& file, const QString& firstTitle)
{
    return QString::fromLatin1(kSheet).arg(file, firstTitle).toUtf8();
}

QByteArray RunProgram(const QString& program, const QStringList& args, int* status)
{
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.start(program, args);
    const bool ended = p.waitForFinished(240000) && p.exitStatus() == QProcess::NormalExit;
    if (status)
        *status = ended ? p.exitCode() : -1;
    return p.readAllStandardOutput();
}

bool Make(const QString& wavPath, const QString& flacPath)
{
    QStringList args = {"-nostdin", "-v", "error"};
    QString chain;
    for (int i = 0; i < 3; ++i) {
        args << "-f"
             << "lavfi"
             << "-i"
             << QStringLiteral("sine=frequency=%1:sample_rate=44100:duration=%2s")
                    .arg(330 * (i + 1))
                    .arg(double(kToneSamples[i]) / 44100, 0, 'f', 9);
        chain += QStringLiteral("[%1]").arg(i);
    }
    args << "-filter_complex" << chain + QStringLiteral("concat=n=3:v=0:a=1,aformat=s16:44100:stereo") << "-c:a"
         << "pcm_s16le" << wavPath;
    int status = -1;
    RunProgram(QStringLiteral("ffmpeg"), args, &status);
    if (status != 0)
        return false;
    if (flacPath.isEmpty())
        return true;
    RunProgram(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", wavPath, flacPath}, &status);
    return status == 0;
}

QByteArray Decoded(const QStringList& files)
{
    QByteArray all;
    for (const QString& f : files)
        all += RunProgram(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", f, "-f", "s16le", "-"});
    return all;
}

QByteArray Md5(const QByteArray& bytes)
{
    return QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex();
}

bool Write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

} // namespace AlbumImageFiles
