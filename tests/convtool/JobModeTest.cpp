// The conversion tool in job mode: each job converts exactly as a one-file run of the same arguments.
#include "TestSupport.h"
#include "ToolJobs.h"
#include "convert/CommandBuilder.h"
#include "convert/CommandLineSplit.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace TestSupport;

namespace {

QString tool()
{
    return buildProgramFolder() + QStringLiteral("/data/conv.exe");
}

// The tool's arguments for a format, as the program's own builder writes them.
std::vector<QByteArray> formatArgs(int format, const QString& in, const QString& out)
{
    CommandBuilder::Request r;
    r.programFolder = QStringLiteral("/p");
    r.inputPath = in;
    r.formatIndex = format;
    r.bitrate = QStringLiteral("192");
    r.sampleRate = QStringLiteral("44100");
    r.channelIndex = 1;
    if (format == 7) { // AMR-NB takes 8 kHz mono at its own rates
        r.bitrate = QStringLiteral("7.4");
        r.sampleRate = QStringLiteral("8000");
        r.channelIndex = 0;
    }
    r.outputPath = out;
    const QList<QByteArray> all = CommandLineSplit::split(CommandBuilder::BuildCommandLine(r));
    return std::vector<QByteArray>(all.begin() + 1, all.end());
}

int runOnce(const std::vector<QByteArray>& args)
{
    QStringList list;
    for (const QByteArray& a : args)
        list.append(QString::fromUtf8(a));
    QProcess p;
    // One-file runs probe every input as FFmpeg does by default; the jobs take the small probe where
    // the tool finds it safe, so each pair also shows that the small probe changes nothing.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRA_FULL_PROBE"), QStringLiteral("1"));
    p.setProcessEnvironment(env);
    p.start(tool(), list);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    return p.exitCode();
}

struct JobRun
{
    QByteArray console;
    QByteArray record;
};

// One tool process in job mode converting every job; its record is read from a file on descriptor 3.
JobRun runJobs(const std::vector<std::vector<QByteArray>>& jobs, const QString& recordPath)
{
    QByteArray input;
    for (const auto& job : jobs)
        input += QByteArray::fromStdString(ToolJobs::Encode(job));
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QString::fromLatin1(ToolJobs::kJobsVariable), QStringLiteral("1"));
    env.insert(QStringLiteral("VELTRA_TOOL_RECORD"), QStringLiteral("3"));
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    recordTo(p, recordPath);
    p.start(tool(), {});
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(300000))
        return {};
    QFile f(recordPath);
    f.open(QIODevice::ReadOnly);
    return {p.readAll(), f.readAll()};
}

// The file's bytes; for Ogg, whose stream serial number is drawn at random on every run, its decoded audio.
QByteArray fingerprint(const QString& path)
{
    if (!path.endsWith(QLatin1String(".ogg")) && !path.endsWith(QLatin1String(".opus"))) {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", path, "-f", "md5", "-"});
    p.waitForFinished(60000);
    return p.readAllStandardOutput();
}

} // namespace

TEST(JobMode, EveryFormatFromEveryInputMatchesAOneFileRunWithTheFullProbe)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(makeTone(wav, 1.5));
    QProcess conv;
    // FLAC and WAV are read with the small probe, MP3 with FFmpeg's default.
    for (const char* ext : {"flac", "mp3"}) {
        conv.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-y", "-i", wav,
                                              dir.filePath(QStringLiteral("in.") + QLatin1String(ext))});
        ASSERT_TRUE(conv.waitForFinished(60000) && conv.exitCode() == 0);
    }
    std::vector<std::vector<QByteArray>> jobs;
    QStringList pairs;
    for (const char* inExt : {"wav", "flac", "mp3"}) {
        const QString in = dir.filePath(QStringLiteral("in.") + QLatin1String(inExt));
        for (int format = 0; format <= 9; ++format) {
            const QString ext = CommandBuilder::Extension(format);
            const QString stem = QStringLiteral("%1-%2").arg(QLatin1String(inExt)).arg(format);
            const QString once = dir.filePath(stem + QStringLiteral("-once.") + ext);
            const QString job = dir.filePath(stem + QStringLiteral("-job.") + ext);
            ASSERT_EQ(runOnce(formatArgs(format, in, once)), 0) << stem.toStdString();
            jobs.push_back(formatArgs(format, in, job));
            pairs.append(once);
            pairs.append(job);
        }
    }
    const JobRun run = runJobs(jobs, dir.filePath(QStringLiteral("record")));
    EXPECT_EQ(run.record.count("end 0\n"), qsizetype(jobs.size())) << run.record.toStdString();
    for (qsizetype i = 0; i < pairs.size(); i += 2) {
        const QByteArray once = fingerprint(pairs[i]);
        EXPECT_FALSE(once.isEmpty()) << pairs[i].toStdString();
        EXPECT_EQ(once, fingerprint(pairs[i + 1])) << pairs[i + 1].toStdString();
    }
}

TEST(JobMode, AnEmptyArgumentOrABadInputFailsOnlyItsOwnJob)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString wav = dir.filePath(QStringLiteral("in.wav"));
    ASSERT_TRUE(makeTone(wav, 0.5));
    const QByteArray in = QFile::encodeName(wav);
    const auto out = [&](const char* name) { return QFile::encodeName(dir.filePath(QString::fromLatin1(name))); };
    // An empty bitrate is an argument of its own (the default rate): it must neither end the job nor
    // shift the next ones.
    const std::vector<QByteArray> empty = {"-i", in, "-y", "-ab", "", out("empty.mp3")};
    const std::vector<QByteArray> bad = {"-i", out("missing.wav"), "-y", out("bad.mp3")};
    const std::vector<QByteArray> good = {"-i", in, "-y", out("good.mp3")};
    const JobRun run = runJobs({empty, bad, good}, dir.filePath(QStringLiteral("record")));
    const QList<QByteArray> ends = [&] {
        QList<QByteArray> e;
        for (const QByteArray& line : run.record.split('\n')) {
            if (line.startsWith("end "))
                e.append(line);
        }
        return e;
    }();
    ASSERT_EQ(ends.size(), 3) << run.record.toStdString();
    EXPECT_EQ(ends[0], "end 0");
    EXPECT_NE(ends[1], "end 0");
    EXPECT_EQ(ends[2], "end 0");
    EXPECT_TRUE(run.console.contains("No such file or directory")) << run.console.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("bad.mp3"))));

    std::vector<QByteArray> emptyOnce = empty;
    emptyOnce.back() = out("empty-once.mp3");
    ASSERT_EQ(runOnce(emptyOnce), 0);
    EXPECT_EQ(fingerprint(dir.filePath(QStringLiteral("empty.mp3"))),
              fingerprint(dir.filePath(QStringLiteral("empty-once.mp3"))));
    EXPECT_FALSE(fingerprint(dir.filePath(QStringLiteral("good.mp3"))).isEmpty());
}
