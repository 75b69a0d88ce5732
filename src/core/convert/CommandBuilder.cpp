#include "CommandBuilder.h"

#include "CommandLineSplit.h"
#include "filelist/GetFile.h"

namespace CommandBuilder {

namespace {
struct Format
{
    const char* extension;
    bool usesSelectors; // bitrate, sample rate and channels come from the selectors
    const char* options;
};

// Every template begins with " -y -vn " and ends with a space before the output path.
constexpr Format kFormats[] = {
    {".mp3", true, " -y -vn -ab %1k -ar %2 -ac %3 "},
    {".wma", true, " -y -vn -acodec wmav1 -ab %1k -ar %2 -ac %3 "},
    {".ogg", false, " -y -vn -ac 2 "},
    {".wav", false, " -y -vn -acodec pcm_s16le "},
    {".flac", false, " -y -vn "},
    {".ac3", false, " -y -vn "},
    {".aac", false, " -y -vn "},
    {".amr", false, " -y -vn -ar 8000 -ab 7.4k -ac 1 "},
};
constexpr int kFormatCount = int(sizeof kFormats / sizeof kFormats[0]);

bool validFormat(int index)
{
    return index >= 0 && index < kFormatCount;
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
    QString options = QString::fromLatin1(f.options);
    if (f.usesSelectors)
        options = options.arg(r.bitrate, r.sampleRate, QString::number(r.channelIndex + 1));

    QByteArray line = CommandLineSplit::quoteIfNeeded(toolPath(r.programFolder).toUtf8());
    line += " -i ";
    line += CommandLineSplit::quote(r.inputPath.toUtf8());
    if (r.options.MusicCutter != 0) {
        line += " -ss " + QByteArray::number(r.options.CutFrom);
        line += " -t " + QByteArray::number(r.options.CutDuration);
    }
    line += options.toUtf8();
    line += CommandLineSplit::quote((r.outputPath.isEmpty() ? OutputPath(r) : r.outputPath).toUtf8());
    return line;
}

} // namespace CommandBuilder
