#include "CommandBuilder.h"

#include "CommandLineSplit.h"
#include "filelist/GetFile.h"
#include "filelist/PathBytes.h"
#include "filelist/TrackName.h"

#include <QStringList>

namespace CommandBuilder {

namespace {
struct Format
{
    const char* extension;
    const char* options; // %1 the bitrate, %2 the sample rate, %3 the channels, where the format takes them
};

// Every template begins with " -y -vn "; each of its words is one argument. Only options conv.exe
// converts by itself may appear: any other sends the whole job to the system's ffmpeg.
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
    const bool cut = r.track && !r.track->wholeFile;
    return folder + (cut ? TrackName::Stem(*r.track) : GetFile::ParseStem(r.inputPath)) + Extension(r.formatIndex);
}

QList<QByteArray> BuildArguments(const Request& r)
{
    if (!validFormat(r.formatIndex))
        return {};
    QList<QByteArray> args = {PathBytes::Encode(toolPath(r.programFolder)), "-i", PathBytes::Encode(r.inputPath)};
    if (r.track && !r.track->wholeFile)
        args << "-range"
             << QByteArray::number(r.track->start) + '-' +
                    (r.track->end < 0 ? QByteArray() : QByteArray::number(r.track->end));
    if (r.options.MusicCutter != 0)
        args << "-ss" << QByteArray::number(r.options.CutFrom) << "-t" << QByteArray::number(r.options.CutDuration);
    const QStringList values = {r.bitrate, r.sampleRate, QString::number(r.channelIndex + 1)};
    const QString words = QString::fromLatin1(kFormats[r.formatIndex].options);
    for (const QString& word : words.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        // An empty selector gives no argument at all, as it gave nothing between two blanks of a line.
        const QByteArray filled = fillIn(word, values).toUtf8();
        if (!filled.isEmpty())
            args.append(filled);
    }
    if (r.gainDb)
        args << "-af"
             << "volume=" + QByteArray::number(*r.gainDb, 'f', 2) + "dB";
    for (const auto& [key, value] : r.gainTags)
        args << "-metadata" << key + '=' + value;
    // The sheet's tags over the file's own; the tool leaves out the image's cue sheet and track gain.
    if (r.track) {
        for (const auto& [key, value] : r.track->tags.Pairs())
            args << "-metadata" << (key + QLatin1Char('=') + value).toUtf8();
        // An image's own title names the whole image, never one untitled track of it.
        if (!r.track->wholeFile && r.track->tags.title.isEmpty())
            args << "-metadata"
                 << "title=";
    }
    args.append(PathBytes::Encode(r.outputPath.isEmpty() ? OutputPath(r) : r.outputPath));
    return args;
}

QList<QByteArray> BuildAnalysisArguments(const Request& r, const char* peak)
{
    Request plain = r;
    plain.gainDb.reset();
    plain.gainTags.clear();
    QList<QByteArray> args = BuildArguments(plain);
    if (!args.isEmpty()) {
        args.insert(args.size() - 1, QByteArray("-analyse"));
        args.insert(args.size() - 1, QByteArray(peak));
    }
    return args;
}

QByteArray BuildCommandLine(const Request& r)
{
    const QList<QByteArray> args = BuildArguments(r);
    QByteArray line;
    for (qsizetype i = 0; i < args.size(); ++i) {
        // The input (after the tool and "-i") and the output are always quoted, so a reader sees where
        // each path begins and ends.
        const bool path = i == 2 || i == args.size() - 1;
        line +=
            (i > 0 ? " " : "") + (path ? CommandLineSplit::quote(args[i]) : CommandLineSplit::quoteIfNeeded(args[i]));
    }
    return line;
}

} // namespace CommandBuilder
