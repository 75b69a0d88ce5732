// The tool's "-keep_date": the output carries the input's modification time.
#include "TestSupport.h"
#include "convert/CommandBuilder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

// 3 February 2001, 04:05:06.7 UTC: nothing the clock of the test's run could give.
constexpr time_t kOldSecond = 981173106;

struct ToolRun
{
    int status = -1;
    QByteArray console;
};

ToolRun convert(const QString& input, const QString& outputFolder, int format, bool keepDate)
{
    CommandBuilder::Request r;
    r.programFolder = buildProgramFolder();
    r.inputPath = input;
    r.outputFolder = outputFolder;
    r.formatIndex = format;
    r.bitrate = format == 7 ? QStringLiteral("7.4") : QStringLiteral("128");
    r.sampleRate = format == 7 ? QStringLiteral("8000") : QStringLiteral("44100");
    r.channelIndex = format == 7 ? 0 : 1;
    QList<QByteArray> args = CommandBuilder::BuildArguments(r);
    if (keepDate)
        args.insert(args.size() - 1, "-keep_date");
    QStringList list;
    for (qsizetype i = 1; i < args.size(); ++i)
        list.append(QString::fromUtf8(args[i]));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    // Handed to FFmpeg's program, the arguments would fail: they must be the tool's own.
    env.insert(QStringLiteral("VELTRA_FFMPEG"), QStringLiteral("/nonexistent/ffmpeg"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QString::fromUtf8(args[0]), list);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAll()};
}

time_t modifiedSecond(const QString& path)
{
    struct stat st
    {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_mtim.tv_sec : -1;
}

TEST(KeepDate, EveryKindOfOutputTakesTheInputsDateToTheSecondOnlyWhenAsked)
{
    QTemporaryDir dir;
    const QString input = dir.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(makeTone(input, 0.5));
    const struct timespec times[2] = {{0, UTIME_OMIT}, {kOldSecond, 700000000}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(input).constData(), times, 0), 0);
    // MP3 and M4A through the muxer (M4A's index written at the end), AMR through its own writer.
    for (int format : {0, 9, 7}) {
        const QString ext = CommandBuilder::Extension(format);
        const QString kept = dir.filePath(QStringLiteral("kept"));
        const QString fresh = dir.filePath(QStringLiteral("fresh"));
        QDir().mkpath(kept);
        QDir().mkpath(fresh);
        const ToolRun a = convert(input, kept, format, true);
        ASSERT_EQ(a.status, 0) << ext.toStdString() << ": " << a.console.toStdString();
        EXPECT_FALSE(a.console.contains("date was not kept")) << a.console.toStdString();
        EXPECT_EQ(modifiedSecond(kept + QStringLiteral("/in") + ext), kOldSecond) << ext.toStdString();
        const ToolRun b = convert(input, fresh, format, false);
        ASSERT_EQ(b.status, 0) << ext.toStdString() << ": " << b.console.toStdString();
        EXPECT_GT(modifiedSecond(fresh + QStringLiteral("/in") + ext), kOldSecond) << ext.toStdString();
    }
}

} // namespace
