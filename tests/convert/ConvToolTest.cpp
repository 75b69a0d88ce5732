// The program's own conversion tool, data/conv.exe, run as the program runs it.
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace TestSupport;

namespace {

QString tool()
{
    return buildProgramFolder() + QStringLiteral("/data/conv.exe");
}

struct Result
{
    int status = -1;
    QByteArray console;
};

Result run(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(tool(), args);
    if (!p.waitForFinished(120000))
        return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : 1000, p.readAll()};
}

QStringList amrArgs(const QString& in, const QString& out, const QString& rate = QStringLiteral("7.4k"))
{
    return {"-i", in, "-y", "-vn", "-ar", "8000", "-ab", rate, "-ac", "1", out};
}

QStringList leftovers(const QTemporaryDir& dir)
{
    return QDir(dir.path()).entryList({QStringLiteral("*.part-*")}, QDir::Files);
}

class ConvTool : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(makeTone(dir.filePath(QStringLiteral("tone.wav")), 3)); }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    QTemporaryDir dir;
};

TEST_F(ConvTool, WavBecomesAnAmrNbFileWithProgressOnTheConsole)
{
    const Result r = run(amrArgs(file("tone.wav"), file("tone.amr")));
    EXPECT_EQ(r.status, 0) << r.console.toStdString();
    EXPECT_TRUE(r.console.contains("Duration: 00:00:03.00"));
    EXPECT_TRUE(r.console.contains("time="));
    EXPECT_EQ(probe(file("tone.amr"), QStringLiteral("codec_name")), QStringLiteral("amr_nb"));
    EXPECT_EQ(probe(file("tone.amr"), QStringLiteral("sample_rate")), QStringLiteral("8000"));
    EXPECT_EQ(probe(file("tone.amr"), QStringLiteral("channels")), QStringLiteral("1"));
    EXPECT_NEAR(probe(file("tone.amr"), QStringLiteral("duration")).toDouble(), 3.0, 0.05);
    QFile amr(file("tone.amr"));
    ASSERT_TRUE(amr.open(QIODevice::ReadOnly));
    EXPECT_EQ(amr.read(6), QByteArray("#!AMR\n"));
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(ConvTool, CutArgumentsGiveTheCutLengthAndHigherModesMoreBytes)
{
    QStringList cut = amrArgs(file("tone.wav"), file("cut.amr"));
    cut.insert(2, QStringLiteral("-ss"));
    cut.insert(3, QStringLiteral("1"));
    cut.insert(4, QStringLiteral("-t"));
    cut.insert(5, QStringLiteral("1"));
    EXPECT_EQ(run(cut).status, 0);
    EXPECT_NEAR(probe(file("cut.amr"), QStringLiteral("duration")).toDouble(), 1.0, 0.05);

    EXPECT_EQ(run(amrArgs(file("tone.wav"), file("low.amr"), QStringLiteral("4.75k"))).status, 0);
    EXPECT_EQ(run(amrArgs(file("tone.wav"), file("high.amr"), QStringLiteral("12.2k"))).status, 0);
    EXPECT_GT(QFileInfo(file("high.amr")).size(), 2 * QFileInfo(file("low.amr")).size());
}

TEST_F(ConvTool, UnknownRateOrMissingInputFailsWithoutLeavingAFile)
{
    Result r = run(amrArgs(file("tone.wav"), file("x.amr"), QStringLiteral("9.6k")));
    EXPECT_NE(r.status, 0);
    EXPECT_TRUE(r.console.contains("AMR-NB has no 9.6k rate"));
    r = run(amrArgs(file("missing.wav"), file("x.amr")));
    EXPECT_NE(r.status, 0);
    EXPECT_FALSE(QFile::exists(file("x.amr")));
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(ConvTool, OverwritesOnlyWhenToldTo)
{
    QFile old(file("keep.amr"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    QStringList noForce = amrArgs(file("tone.wav"), file("keep.amr"));
    noForce.removeAll(QStringLiteral("-y"));
    EXPECT_NE(run(noForce).status, 0);
    EXPECT_EQ(QFileInfo(file("keep.amr")).size(), 3);
    EXPECT_EQ(run(amrArgs(file("tone.wav"), file("keep.amr"))).status, 0);
    EXPECT_EQ(probe(file("keep.amr"), QStringLiteral("codec_name")), QStringLiteral("amr_nb"));
}

TEST_F(ConvTool, OtherFormatsGoThroughFfmpegWithTheirExitStatus)
{
    const Result ok =
        run({"-i", file("tone.wav"), "-y", "-vn", "-ab", "128k", "-ar", "22050", "-ac", "1", file("t.mp3")});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(probe(file("t.mp3"), QStringLiteral("sample_rate")), QStringLiteral("22050"));
    EXPECT_NE(run({"-i", file("missing.wav"), "-y", "-vn", file("t.ogg")}).status, 0);

    // Whatever status or signal the child ends with comes back out.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRA_FFMPEG"), fakeToolPath());
    env.insert(QStringLiteral("FAKE_TOOL_OPS"), QStringLiteral("exit:7"));
    EXPECT_EQ(run({"-i", "a.wav", "b.mp3"}, env).status, 7);
    env.insert(QStringLiteral("FAKE_TOOL_OPS"), QStringLiteral("kill:9"));
    EXPECT_EQ(run({"-i", "a.wav", "b.mp3"}, env).status, 128 + 9);
}

TEST_F(ConvTool, StoppedBySignalItEndsWithAnErrorAndRemovesThePartialFile)
{
    // A pipe as input: FFmpeg waits on it for ever, so the tool is mid-conversion when stopped.
    const QString fifo = file("endless.wav");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    QProcess p;
    p.start(tool(), amrArgs(fifo, file("stopped.amr")));
    ASSERT_TRUE(p.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return !leftovers(dir).isEmpty(); }, 10000));
    p.terminate();
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 128 + 15);
    EXPECT_TRUE(leftovers(dir).isEmpty());
    EXPECT_FALSE(QFile::exists(file("stopped.amr")));
}

} // namespace
