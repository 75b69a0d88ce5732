#include "CommandBuilder.h"

#include "CommandLineSplit.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"

#include <QStringList>

namespace CommandBuilder {

namespace {
struct Format
{
    const char* extension;
    const char* options; // %1 the bitrate, %2 the sample rate, %3 the channels, where the format takes them
};

// Every template begins with " -y -vn " and ends with a space before the output path. Only options
// conv.exe converts by itself may appear: any other sends the whole line to the system's ffmpeg.
constexpr Format kFormats[] = {
    {".mp3", " -y -vn -ab %1k -ar %2 -ac %3 "},
    {".wma", " -y -vn -acodec wmav1 -ab %1k -ar %2 -ac %3 "},
    {".ogg", " -y -vn -ac 2 "},
    {".wav", " -y -vn -acodec pcm_s16le "},
    {".flac", " -y -vn "},
    {".ac3", " -y -vn "},
    {".aac", " -y -vn "},
    {".amr", " -y -vn -ar 8000 -ab 7.4k -ac 1 "},
    // Opus is always encoded at 48 kHz: the rate is not passed.
    {".opus", " -y -vn -ab %1k -ac %3 "},
    {".m4a", " -y -vn -ab %1k -ar %2 -ac %3 "},
};
constexpr int kFormatCount = int(sizeof kFormats / sizeof kFormats[0]);

bool validFormat(int index)
{
    return index >= 0 && index < kFormatCount;
}

// One pass over the template, so a value is never read as a marker itself; QString::arg would renumber
// a template that skips %2.
QString fillIn(const QString& pattern, const QStringList& values)
{
    QString out;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const int n = i + 1 < pattern.size() && pattern[i] == QLatin1Char('%') ? pattern[i + 1].digitValue() : -1;
        if (n >= 1 && n <= values.size()) {
            out += values[n - 1];
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

QString toolPath(const QString& programFolder)
{
    // A program folder of "/" would otherwise give "//data/conv.exe".
    if (programFolder.endsWith(QLatin1Char('/')))
        return programFolder + QStringLiteral("data/conv.exe");
    return programFolder + QStringLiteral("/data/conv.exe");
}
} // namespace

QString Extension(int formatIndex)
{
    return validFormat(formatIndex) ? QString::fromLatin1(kFormats[formatIndex].extension) : QString();
}

QString OutputPath(const Request& r)
{
    if (!validFormat(r.formatIndex))
        return {};
    QString folder = r.outputFolder;
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return folder + GetFile::ParseStem(r.inputPath) + Extension(r.formatIndex);
}

QByteArray BuildCommandLine(const Request& r)
{
    if (!validFormat(r.formatIndex))
        return {};
    const Format& f = kFormats[r.formatIndex];
    const QString options =
        fillIn(QString::fromLatin1(f.options), {r.bitrate, r.sampleRate, QString::number(r.channelIndex + 1)});

    QByteArray line = CommandLineSplit::quoteIfNeeded(PathBytes::Encode(toolPath(r.programFolder)));
    line += " -i ";
    line += CommandLineSplit::quote(PathBytes::Encode(r.inputPath));
    if (r.options.MusicCutter != 0) {
        line += " -ss " + QByteArray::number(r.options.CutFrom);
        line += " -t " + QByteArray::number(r.options.CutDuration);
    }
    line += options.toUtf8();
    line += CommandLineSplit::quote(PathBytes::Encode(r.outputPath.isEmpty() ? OutputPath(r) : r.outputPath));
    return line;
}

} // namespace CommandBuilder
