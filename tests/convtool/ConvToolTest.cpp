// The program's own conversion tool, data/conv.exe, run as the program runs it.
#include "TestSupport.h"
#include "convert/CommandBuilder.h"
#include "convert/CommandLineSplit.h"
#include "convert/DOSOutputs.h"
#include "convert/ProgressParser.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTest>
#include <QtEndian>
#include <csignal>
#include <gtest/gtest.h>
#include <sys/resource.h>
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

// The environment of a run in which the tool must not start FFmpeg's program: it would fail.
QProcessEnvironment withoutFfmpeg()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRA_FFMPEG"), QStringLiteral("/nonexistent/ffmpeg"));
    return env;
}

Result run(const QStringList& args, const QProcessEnvironment& env = withoutFfmpeg(),
           const std::function<void()>& inChild = {})
{
    QProcess p;
    p.setProcessEnvironment(env);
    if (inChild)
        p.setChildProcessModifier(inChild);
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
    return QDir(dir.path()).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden);
}

// While it lives, tools started load the test shim (commit_shim.cpp): refuse names the calls it makes
// fail, hold names the file renameat2 waits for, holdMade the file it waits for once a part file is
// made. An AddressSanitizer build of the tool is told to accept a library loaded ahead of its runtime.
class Shimmed
{
public:
    Shimmed(const QByteArray& refuse, const QString& log, const QString& hold = QString(),
            const QString& holdMade = QString())
        : m_preload("LD_PRELOAD", VELTRA_COMMIT_SHIM),
          m_asan("ASAN_OPTIONS", qgetenv("ASAN_OPTIONS") + ":verify_asan_link_order=0"),
          m_refuse("VELTRA_SHIM_REFUSE", refuse), m_log("VELTRA_SHIM_LOG", QFile::encodeName(log)),
          m_hold("VELTRA_SHIM_HOLD", QFile::encodeName(hold)),
          m_holdMade("VELTRA_SHIM_HOLD_MADE", QFile::encodeName(holdMade))
    {}

private:
    ScopedEnv m_preload;
    ScopedEnv m_asan;
    ScopedEnv m_refuse;
    ScopedEnv m_log;
    ScopedEnv m_hold;
    ScopedEnv m_holdMade;
};

// The arguments the program sends for a format, taken from its own command line builder.
QStringList templateArgs(int format, const QString& in, const QString& outFolder, const char* bitrate = "192",
                         const char* sampleRate = "44100", int channelIndex = 1)
{
    CommandBuilder::Request r;
    r.programFolder = QStringLiteral("/p");
    r.inputPath = in;
    r.outputFolder = outFolder;
    r.formatIndex = format;
    r.bitrate = QString::fromLatin1(bitrate);
    r.sampleRate = QString::fromLatin1(sampleRate);
    r.channelIndex = channelIndex;
    QStringList args;
    for (const QByteArray& a : CommandLineSplit::split(CommandBuilder::BuildCommandLine(r)).mid(1))
        args.append(QString::fromUtf8(a));
    return args;
}

bool runFfmpeg(QStringList args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error"} + args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString lastLine(const QByteArray& console)
{
    const QList<QByteArray> lines = console.trimmed().split('\n');
    return QString::fromUtf8(lines.last().split('\r').last()).trimmed();
}

QJsonObject audioStream(const QJsonObject& probed)
{
    for (const QJsonValue& s : probed[QStringLiteral("streams")].toArray()) {
        if (s[QStringLiteral("codec_type")].toString() == QLatin1String("audio"))
            return s.toObject();
    }
    return {};
}

int pictureStreams(const QJsonObject& probed)
{
    int n = 0;
    for (const QJsonValue& s : probed[QStringLiteral("streams")].toArray())
        n += s[QStringLiteral("disposition")][QStringLiteral("attached_pic")].toInt() == 1;
    return n;
}

// A tag wherever the container keeps it (the file or its audio stream), whatever the case of its key.
QString tag(const QJsonObject& probed, const QString& key)
{
    for (const QJsonObject& holder : {probed[QStringLiteral("format")][QStringLiteral("tags")].toObject(),
                                      audioStream(probed)[QStringLiteral("tags")].toObject()}) {
        for (auto it = holder.begin(); it != holder.end(); ++it) {
            if (it.key().compare(key, Qt::CaseInsensitive) == 0)
                return it.value().toString();
        }
    }
    return {};
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

TEST_F(ConvTool, EveryTemplateGivesTheAudioStreamFfmpegGivesWithoutStartingIt)
{
    struct Input
    {
        const char* name;
        int rate;
        int channels;
    };
    for (const Input& in : {Input{"stereo.wav", 44100, 2}, Input{"wide.wav", 96000, 8}, Input{"mono.wav", 22050, 1}}) {
        ASSERT_TRUE(makeTone(file(in.name), 2, in.rate, in.channels));
        for (int format = 0; format < 8; ++format) {
            const QString ours = dir.filePath(QStringLiteral("ours"));
            const QString theirs = dir.filePath(QStringLiteral("ffmpeg"));
            QDir().mkpath(ours);
            QDir().mkpath(theirs);
            const QStringList args = templateArgs(format, file(in.name), ours);
            const Result r = run(args);
            const std::string what = std::string(in.name) + " format " + std::to_string(format);
            ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
            EXPECT_TRUE(r.console.contains("Duration: 00:00:02.00")) << what;
            EXPECT_TRUE(r.console.contains("time=00:00:02.")) << what;
            const QJsonObject got = audioStream(probeAll(args.last()));
            const double duration = probe(args.last(), QStringLiteral("duration")).toDouble();
            if (format == 7) { // AMR-NB, which FFmpeg cannot encode here
                EXPECT_EQ(got["codec_name"].toString(), QStringLiteral("amr_nb")) << what;
                EXPECT_EQ(got["sample_rate"].toString(), QStringLiteral("8000")) << what;
                EXPECT_EQ(got["channels"].toInt(), 1) << what;
                EXPECT_NEAR(duration, 2.0, 0.02) << what;
                continue;
            }
            QStringList refArgs = templateArgs(format, file(in.name), theirs);
            ASSERT_TRUE(runFfmpeg(refArgs)) << what;
            const QJsonObject want = audioStream(probeAll(refArgs.last()));
            for (const char* key : {"codec_name", "sample_rate", "channels", "channel_layout"})
                EXPECT_EQ(got[key].toVariant(), want[key].toVariant()) << what << " " << key;
            if (format == 0 || format == 1 || format == 3 || format == 5) { // a bit rate fixed by template or default
                EXPECT_EQ(got["bit_rate"].toString(), want["bit_rate"].toString()) << what;
            }
            // Within one frame: no encoder here uses more than 2048 samples a frame.
            const double frame = 2048.0 / got["sample_rate"].toString().toDouble();
            EXPECT_NEAR(duration, probe(refArgs.last(), QStringLiteral("duration")).toDouble(), frame) << what;
        }
    }
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(ConvTool, TheCutterCutsAsFfmpegDoesAndRefusesACutThatMakesNoFile)
{
    QStringList cut = templateArgs(0, file("tone.wav"), dir.path());
    cut.insert(2, QStringLiteral("-ss"));
    cut.insert(3, QStringLiteral("1"));
    cut.insert(4, QStringLiteral("-t"));
    cut.insert(5, QStringLiteral("1"));
    ASSERT_EQ(run(cut).status, 0);
    const double ours = probe(cut.last(), QStringLiteral("duration")).toDouble();
    cut.last() = file("ffmpeg-cut.mp3");
    ASSERT_TRUE(runFfmpeg(cut));
    EXPECT_NEAR(ours, probe(cut.last(), QStringLiteral("duration")).toDouble(), 1152.0 / 44100);

    // A negative start counts as the beginning.
    cut[3] = QStringLiteral("-5");
    cut.last() = file("negative.mp3");
    ASSERT_EQ(run(cut).status, 0);
    EXPECT_NEAR(probe(cut.last(), QStringLiteral("duration")).toDouble(), ours, 0.001);

    struct Refused
    {
        const char* start;
        const char* length;
        const char* reason;
    };
    for (const Refused& bad : {Refused{"0", "0", "the length of the cut must be more than 0 seconds"},
                               Refused{"0", "-3", "the length of the cut must be more than 0 seconds"},
                               Refused{"3", "2", "the cut starts after the end of the input"},
                               Refused{"30", "2", "the cut starts after the end of the input"}}) {
        cut[3] = QString::fromLatin1(bad.start);
        cut[5] = QString::fromLatin1(bad.length);
        cut.last() = file("refused.mp3");
        const Result r = run(cut);
        EXPECT_NE(r.status, 0) << bad.start << " " << bad.length;
        EXPECT_EQ(lastLine(r.console), QString::fromLatin1(bad.reason));
        EXPECT_FALSE(QFile::exists(cut.last()));
    }
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(ConvTool, TagsAndTheCoverGoIntoEveryFormatThatKeepsThem)
{
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:d=1", "-frames:v", "1", file("cover.jpg")}));
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:d=1", "-frames:v", "1", file("cover.png")}));
    const QStringList tags = {"-metadata", "title=Mr. Brightside", "-metadata", "artist=The Killers",
                              "-metadata", "album=Hot Fuss",       "-metadata", "track=2"};
    ASSERT_TRUE(runFfmpeg(QStringList{"-i", file("tone.wav"), "-i", file("cover.jpg"), "-map", "0", "-map", "1", "-c:v",
                                      "copy", "-disposition:v", "attached_pic"} +
                          tags + QStringList{file("in.mp3")}));
    ASSERT_TRUE(runFfmpeg(QStringList{"-i", file("tone.wav"), "-i", file("cover.png"), "-map", "0", "-map", "1", "-c:v",
                                      "copy", "-disposition:v", "attached_pic"} +
                          tags + QStringList{file("in.flac")}));
    // Ogg keeps its comments on the stream.
    ASSERT_TRUE(runFfmpeg({"-i", file("tone.wav"), "-metadata:s:a", "title=Mr. Brightside", "-metadata:s:a",
                           "artist=The Killers", "-metadata:s:a", "album=Hot Fuss", "-metadata:s:a", "track=2",
                           file("in.ogg")}));
    ASSERT_EQ(pictureStreams(probeAll(file("in.mp3"))), 1);

    for (const char* input : {"in.mp3", "in.flac", "in.ogg"}) {
        const bool hasCover = QString::fromLatin1(input) != QLatin1String("in.ogg");
        for (int format = 0; format < 8; ++format) {
            const QString out = dir.filePath(QStringLiteral("out-%1").arg(QLatin1String(input)));
            QDir().mkpath(out);
            const QStringList args = templateArgs(format, file(input), out);
            const std::string what = std::string(input) + " to " + args.last().toStdString();
            const Result r = run(args);
            ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
            const QJsonObject probed = probeAll(args.last());
            const bool keepsTags = format <= 4; // MP3, WMA, OGG, WAV, FLAC
            const bool keepsCover = format == 0 || format == 2 || format == 4;
            EXPECT_EQ(tag(probed, "title"), keepsTags ? QStringLiteral("Mr. Brightside") : QString()) << what;
            EXPECT_EQ(tag(probed, "artist"), keepsTags ? QStringLiteral("The Killers") : QString()) << what;
            EXPECT_EQ(tag(probed, "album"), keepsTags ? QStringLiteral("Hot Fuss") : QString()) << what;
            EXPECT_EQ(pictureStreams(probed), keepsCover && hasCover ? 1 : 0) << what;
        }
    }
    // A cover that came as an Ogg comment goes back into an MP3 as a picture.
    const QStringList back = templateArgs(0, dir.filePath(QStringLiteral("out-in.mp3/in.ogg")), dir.path());
    ASSERT_EQ(run(back).status, 0);
    EXPECT_EQ(pictureStreams(probeAll(back.last())), 1);
}

TEST_F(ConvTool, AFailedWriteLeavesNoFileAndKeepsTheOlderOne)
{
    QFile older(file("tone.mp3"));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("the user's older file");
    older.close();
    // A file-size limit fails the write part way, as a full disk does.
    const Result r = run(templateArgs(0, file("tone.wav"), dir.path()), withoutFfmpeg(), [] {
        struct rlimit limit
        {
            20000, 20000
        };
        ::setrlimit(RLIMIT_FSIZE, &limit);
    });
    EXPECT_NE(r.status, 0);
    EXPECT_EQ(lastLine(r.console), QStringLiteral("File too large"));
    ASSERT_TRUE(older.open(QIODevice::ReadOnly));
    EXPECT_EQ(older.readAll(), QByteArray("the user's older file"));
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(ConvTool, StoppedMidFileItRemovesItsPartFileAndLeavesTheOutputNameAlone)
{
    ASSERT_TRUE(makeTone(file("long.wav"), 300));
    QFile older(file("long.flac"));
    ASSERT_TRUE(older.open(QIODevice::WriteOnly));
    older.write("older");
    older.close();
    const mode_t mask = ::umask(0);
    ::umask(mask);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        {
            // However fast it converts, it reports progress before its file is done, and it cannot put
            // its output in place before the signal.
            Shimmed held("", QString(), file("never"));
            ScopedEnv slowStart("VELTRA_SHIM_SLOW_START", "600");
            p.start(tool(), templateArgs(4, file("long.wav"), dir.path()));
        }
        ASSERT_TRUE(p.waitForStarted());
        // This tool's own part file, hidden beside the output and named after it, and its first progress
        // line: its handlers are in place and it is writing.
        const QString own = QStringLiteral(".long.flac.part-%1-").arg(p.processId());
        QByteArray console;
        mode_t mode = 0;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                console += p.readAll();
                for (const QString& part : leftovers(dir)) {
                    struct stat st
                    {};
                    if (part.startsWith(own) && mode == 0 &&
                        ::stat(QFile::encodeName(dir.filePath(part)).constData(), &st) == 0)
                        mode = st.st_mode & 0777; // as soon as it is seen: it never has another mode
                }
                return mode != 0 && console.contains("time=");
            },
            60000))
            << sig << ": " << leftovers(dir).join(' ').toStdString() << console.toStdString();
        EXPECT_EQ(mode, 0666 & ~mask) << "the part file has the mode a new file gets";
        ::kill(pid_t(p.processId()), sig);
        ASSERT_TRUE(p.waitForFinished(60000));
        ASSERT_EQ(p.exitStatus(), QProcess::NormalExit) << sig;
        ASSERT_EQ(p.exitCode(), 128 + sig) << sig;
        ASSERT_EQ(leftovers(dir), QStringList{}) << sig;
        ASSERT_EQ(QFileInfo(file("long.flac")).size(), 5) << sig;
    }
}

// A stop that comes the moment the part file exists, before the tool has taken note of it for its
// handler, waits until it has: the file still goes.
TEST_F(ConvTool, AStopAsThePartFileIsMadeStillRemovesIt)
{
    const QString go = file("go");
    QProcess p;
    {
        Shimmed held("", QString(), QString(), go);
        p.start(tool(), templateArgs(4, file("tone.wav"), dir.path()));
    }
    ASSERT_TRUE(p.waitForStarted());
    const QString own = QStringLiteral(".tone.flac.part-%1-").arg(p.processId());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            const QStringList parts = leftovers(dir);
            return parts.size() == 1 && parts[0].startsWith(own);
        },
        60000));
    ::kill(pid_t(p.processId()), SIGTERM);
    release(go);
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 128 + SIGTERM);
    EXPECT_EQ(text(leftovers(dir)), std::vector<std::string>{});
    EXPECT_FALSE(QFile::exists(file("tone.flac")));
}

// Runs the tool as the program does, with its record pipe, and keeps the record.
struct RecordedRun
{
    DOSOutputs dos;
    bool over = false;

    RecordedRun()
    {
        dos.setToolRecord(true);
        QObject::connect(&dos, &DOSOutputs::CommandOver, [this] { over = true; });
    }
    bool start(const QStringList& args)
    {
        QByteArray line = CommandLineSplit::quote(tool().toUtf8());
        for (const QString& a : args)
            line += ' ' + CommandLineSplit::quote(a.toUtf8());
        return dos.Start(line);
    }
    bool wait()
    {
        return QTest::qWaitFor([this] { return over; }, 120000);
    }
    // The counter of the name record, 0 without one; mapped tells whether the name was changed.
    int counter(bool* mapped = nullptr) const
    {
        for (const ToolRecord::Entry& e : dos.records()) {
            if (e.kind == ToolRecord::Entry::Kind::Name) {
                if (mapped)
                    *mapped = e.mapped;
                return e.counter;
            }
        }
        return 0;
    }
};

TEST_F(ConvTool, AFileMadeAtTheOutputNameWhileItConvertsIsKeptAndTheOutputTakesTheNextName)
{
    ASSERT_TRUE(makeTone(file("long.wav"), 120));
    RecordedRun run;
    const QString go = file("go");
    {
        // Held with its output written and not yet in place while somebody else's file takes the name.
        Shimmed held("", QString(), go);
        ASSERT_TRUE(run.start(templateArgs(4, file("long.wav"), dir.path())));
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return !leftovers(dir).isEmpty(); }, 60000));
    EXPECT_TRUE(leftovers(dir).value(0).startsWith(QStringLiteral(".long.flac.part-%1-").arg(run.dos.processId())));
    QFile theirs(file("long.flac"));
    ASSERT_TRUE(theirs.open(QIODevice::WriteOnly));
    theirs.write("theirs");
    theirs.close();
    release(go);
    ASSERT_TRUE(run.wait());
    EXPECT_TRUE(run.dos.lastExit().succeeded()) << run.dos.Outputs().toStdString();
    ASSERT_TRUE(theirs.open(QIODevice::ReadOnly));
    EXPECT_EQ(theirs.readAll(), QByteArray("theirs"));
    EXPECT_NEAR(probe(file("long (2).flac"), QStringLiteral("duration")).toDouble(), 120, 0.1);
    bool mapped = true;
    EXPECT_EQ(run.counter(&mapped), 2);
    EXPECT_FALSE(mapped);
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(ConvTool, TwoToolsConvertingSameNamedInputsIntoOneFolderAtOnceKeepBothOutputs)
{
    QDir(dir.path()).mkpath(QStringLiteral("a"));
    QDir(dir.path()).mkpath(QStringLiteral("b"));
    QDir(dir.path()).mkpath(QStringLiteral("out"));
    ASSERT_TRUE(makeTone(file("a/track01.wav"), 30));
    ASSERT_TRUE(makeTone(file("b/track01.wav"), 31));
    RecordedRun first;
    RecordedRun second;
    ASSERT_TRUE(first.start(templateArgs(0, file("a/track01.wav"), file("out"))));
    ASSERT_TRUE(second.start(templateArgs(0, file("b/track01.wav"), file("out"))));
    ASSERT_TRUE(first.wait() && second.wait());
    EXPECT_TRUE(first.dos.lastExit().succeeded() && second.dos.lastExit().succeeded());
    EXPECT_EQ(QSet<int>({first.counter(), second.counter()}), QSet<int>({1, 2}));
    // Each output holds its own input.
    const auto duration = [&](const char* name) { return probe(file(name), QStringLiteral("duration")).toDouble(); };
    const bool firstTookTheName = first.counter() == 1;
    EXPECT_NEAR(duration("out/track01.mp3"), firstTookTheName ? 30 : 31, 0.2);
    EXPECT_NEAR(duration("out/track01 (2).mp3"), firstTookTheName ? 31 : 30, 0.2);
}

TEST_F(ConvTool, OnAFatStickRefusedCharactersAreMappedAndATakenNameGetsTheNextOne)
{
    FatStick stick;
    if (!stick.mounted())
        GTEST_SKIP() << "needs /dev/fuse, fusefat and mkfs.fat";
    ASSERT_TRUE(QFile::copy(file("tone.wav"), file("Live: \"Best\"?.wav")));
    for (int n : {1, 2}) {
        RecordedRun run;
        ASSERT_TRUE(run.start(templateArgs(0, file("Live: \"Best\"?.wav"), stick.mount())));
        ASSERT_TRUE(run.wait());
        EXPECT_TRUE(run.dos.lastExit().succeeded()) << run.dos.Outputs().toStdString();
        bool mapped = false;
        EXPECT_EQ(run.counter(&mapped), n);
        EXPECT_TRUE(mapped);
    }
    for (int n : {1, 2}) {
        RecordedRun run;
        ASSERT_TRUE(run.start(templateArgs(0, file("tone.wav"), stick.mount())));
        ASSERT_TRUE(run.wait());
        EXPECT_TRUE(run.dos.lastExit().succeeded()) << run.dos.Outputs().toStdString();
        bool mapped = true;
        EXPECT_EQ(run.counter(&mapped), n);
        EXPECT_FALSE(mapped);
    }
    QStringList names = QDir(stick.mount()).entryList(QDir::Files | QDir::Hidden);
    names.sort();
    EXPECT_EQ(names, (QStringList{"Live_ _Best__ (2).mp3", "Live_ _Best__.mp3", "tone (2).mp3", "tone.mp3"}));
    for (const QString& name : names)
        EXPECT_EQ(probe(stick.mount() + QLatin1Char('/') + name, QStringLiteral("codec_name")), QStringLiteral("mp3"))
            << name.toStdString();
}

// Where renameat2 refuses its flag (FUSE, NFS) the commit takes a hard link; where hard links are refused
// too (FAT) it claims the name with an empty file of its own and renames over it. Either way it never
// replaces a file, the record counts right and nothing of its own is left.
TEST_F(ConvTool, WhereRenameat2OrHardLinksAreRefusedTheCommitStillNeverReplacesAndLeavesNothingBehind)
{
    for (const char* refuse : {"renameat2", "renameat2,link"}) {
        SCOPED_TRACE(refuse);
        QTemporaryDir out;
        const QString log = out.filePath(QStringLiteral("refused.log"));
        QDir(out.path()).mkdir(QStringLiteral("free"));
        QFile older(out.filePath(QStringLiteral("tone.mp3")));
        ASSERT_TRUE(older.open(QIODevice::WriteOnly));
        older.write("the user's");
        older.close();
        const auto convertInto = [&](const QString& folder, int counter) {
            RecordedRun run;
            {
                Shimmed refused(refuse, log);
                ASSERT_TRUE(run.start(templateArgs(0, file("tone.wav"), folder)));
            }
            ASSERT_TRUE(run.wait());
            EXPECT_TRUE(run.dos.lastExit().succeeded()) << run.dos.Outputs().toStdString();
            bool mapped = true;
            EXPECT_EQ(run.counter(&mapped), counter);
            EXPECT_FALSE(mapped);
        };
        convertInto(out.filePath(QStringLiteral("free")), 1);
        convertInto(out.path(), 2);
        convertInto(out.path(), 3);

        QStringList calls = linesOf(log);
        calls.removeDuplicates();
        calls.sort();
        QStringList asked = QString::fromLatin1(refuse).split(QLatin1Char(','));
        asked.sort();
        EXPECT_EQ(text(calls), text(asked)) << "the shim did not refuse as asked";
        ASSERT_TRUE(older.open(QIODevice::ReadOnly));
        EXPECT_EQ(older.readAll(), QByteArray("the user's"));
        // No part file and no placeholder: only the outputs, each a whole file.
        EXPECT_EQ(QDir(out.path()).entryList(QDir::Files | QDir::Hidden, QDir::Name),
                  (QStringList{"refused.log", "tone (2).mp3", "tone (3).mp3", "tone.mp3"}));
        EXPECT_EQ(QDir(out.filePath(QStringLiteral("free"))).entryList(QDir::Files | QDir::Hidden),
                  QStringList{"tone.mp3"});
        for (const QString& made :
             {out.filePath(QStringLiteral("free/tone.mp3")), out.filePath(QStringLiteral("tone (2).mp3")),
              out.filePath(QStringLiteral("tone (3).mp3"))})
            EXPECT_NEAR(probe(made, QStringLiteral("duration")).toDouble(), 3.0, 0.1) << made.toStdString();
    }
}

TEST_F(ConvTool, BadInputGetsItsReasonAndNoFile)
{
    const auto write = [&](const char* name, const QByteArray& bytes) {
        QFile f(file(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    QFile tone(file("tone.wav"));
    ASSERT_TRUE(tone.open(QIODevice::ReadOnly));
    const QByteArray wav = tone.readAll();
    write("empty.mp3", QByteArray());
    write("header-only.wav", wav.left(44));
    QByteArray noise(200000, '\0');
    quint32 x = 2463534242u;
    for (char& c : noise) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = char(x);
    }
    write("noise.mp3", noise);
    write("notes.mp3", "Nothing here is music.\n");
    write("playlist.mp3", "#EXTM3U\n#EXT-X-TARGETDURATION:10\n#EXTINF:10,\ntone.wav\n#EXT-X-ENDLIST\n");
    write("list.mp3", "ffconcat version 1.0\nfile tone.wav\n");
    QDir(dir.path()).mkdir(QStringLiteral("folder.mp3"));
    ASSERT_EQ(::mkfifo(QFile::encodeName(file("pipe.mp3")).constData(), 0600), 0);

    struct Bad
    {
        const char* name;
        const char* reason; // nullptr: any reason
    };
    for (const Bad& bad :
         {Bad{"empty.mp3", "the input is empty"}, Bad{"header-only.wav", "Invalid data found when processing input"},
          Bad{"noise.mp3", nullptr}, Bad{"notes.mp3", "not an audio file this tool reads"},
          Bad{"playlist.mp3", "not an audio file this tool reads"},
          Bad{"list.mp3", "not an audio file this tool reads"}, Bad{"folder.mp3", "Is a directory"},
          Bad{"pipe.mp3", "not a regular file"}, Bad{"missing.mp3", "No such file or directory"}}) {
        const QStringList args = templateArgs(2, file(bad.name), dir.filePath(QStringLiteral("out")));
        QDir().mkpath(dir.filePath(QStringLiteral("out")));
        const Result r = run(args);
        EXPECT_NE(r.status, -1) << bad.name << " held the tool";
        EXPECT_NE(r.status, 0) << bad.name;
        EXPECT_FALSE(lastLine(r.console).isEmpty()) << bad.name;
        if (bad.reason) {
            EXPECT_EQ(lastLine(r.console), QString::fromLatin1(bad.reason)) << bad.name;
        }
        EXPECT_TRUE(
            QDir(dir.filePath(QStringLiteral("out"))).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << bad.name;
    }
    // A file cut short converts what it holds, as a player plays it.
    write("short.wav", wav.left(wav.size() / 2));
    const QStringList args = templateArgs(3, file("short.wav"), dir.filePath(QStringLiteral("out")));
    ASSERT_EQ(run(args).status, 0);
    EXPECT_NEAR(probe(args.last(), QStringLiteral("duration")).toDouble(), 1.5, 0.02);
}

TEST_F(ConvTool, OtherArgumentsGoThroughFfmpegWithItsExitStatus)
{
    const Result ok = run({"-i", file("tone.wav"), "-y", "-af", "volume=0.5", "-ar", "22050", file("t.mp3")},
                          QProcessEnvironment::systemEnvironment());
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(probe(file("t.mp3"), QStringLiteral("sample_rate")), QStringLiteral("22050"));

    // Whatever status or signal the child ends with comes back out.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRA_FFMPEG"), fakeToolPath());
    env.insert(QStringLiteral("FAKE_TOOL_OPS"), QStringLiteral("exit:7"));
    EXPECT_EQ(run({"-hide_banner", "-i", "a.wav", "b.mp3"}, env).status, 7);
    env.insert(QStringLiteral("FAKE_TOOL_OPS"), QStringLiteral("kill:9"));
    EXPECT_EQ(run({"-i", "a.wav", "-f", "mp3", "b.mp3"}, env).status, 128 + 9);
}

// The two newest formats, with the fall-back FFmpeg program made to fail, so only the tool's own work
// can pass.
QProcessEnvironment ffmpegFails()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VELTRA_FFMPEG"), QStringLiteral("/bin/false"));
    return env;
}

// True when FFmpeg decodes the whole file without a word of complaint.
bool decodesCleanly(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), {"-nostdin", "-v", "error", "-i", path, "-f", "null", "-"});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 &&
           p.readAllStandardError().isEmpty();
}

// The console lines of a run that are neither the duration nor stats.
QStringList notes(const QByteArray& console)
{
    QStringList out;
    for (const QByteArray& line : console.split('\n')) {
        const QString text = QString::fromUtf8(line).trimmed();
        if (!text.isEmpty() && !text.contains(QLatin1String("Duration: ")) && !text.contains(QLatin1String("size=")))
            out.append(text);
    }
    return out;
}

class NewFormats : public ConvTool
{
protected:
    void SetUp() override
    {
        ConvTool::SetUp();
        // Two unrelated channels of noise: a variable-rate encoder spends close to the rate it was given.
        ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "anoisesrc=d=3:c=pink:r=44100:seed=1", "-f", "lavfi", "-i",
                               "anoisesrc=d=3:c=pink:r=44100:seed=2", "-filter_complex", "[0][1]amerge=inputs=2",
                               "-c:a", "pcm_s16le", file("noise.wav")}));
        ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:d=1", "-frames:v", "1", file("cover.jpg")}));
        ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=64x48:d=1", "-frames:v", "1", file("cover.png")}));
        const QStringList tags = {"-metadata", "title=Mr. Brightside", "-metadata", "artist=The Killers",
                                  "-metadata", "album=Hot Fuss",       "-metadata", "track=2"};
        for (const char* in : {"in.mp3", "in.flac"}) {
            const QString cover = file(QLatin1String(in) == QLatin1String("in.mp3") ? "cover.jpg" : "cover.png");
            ASSERT_TRUE(runFfmpeg(QStringList{"-i", file("tone.wav"), "-i", cover, "-map", "0", "-map", "1", "-c:v",
                                              "copy", "-disposition:v", "attached_pic"} +
                                  tags + QStringList{file(in)}));
        }
    }
};

TEST_F(NewFormats, OpusAndM4aCarryTheirCodecRateChannelsTagsAndCover)
{
    struct Case
    {
        int format;
        const char* codec;
        const char* container;
    };
    for (const char* input : {"in.mp3", "in.flac"}) {
        for (const Case& c : {Case{8, "opus", "ogg"}, Case{9, "aac", "mov,mp4,m4a,3gp,3g2,mj2"}}) {
            const QStringList args = templateArgs(c.format, file(input), dir.path());
            const std::string what = std::string(input) + " to " + args.last().toStdString();
            const Result r = run(args, ffmpegFails());
            ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
            EXPECT_TRUE(notes(r.console).isEmpty()) << what << ": " << r.console.toStdString();
            const QJsonObject probed = probeAll(args.last());
            const QJsonObject audio = audioStream(probed);
            EXPECT_EQ(audio["codec_name"].toString(), QLatin1String(c.codec)) << what;
            EXPECT_EQ(probed["format"]["format_name"].toString(), QLatin1String(c.container)) << what;
            EXPECT_EQ(audio["sample_rate"].toString(),
                      c.format == 8 ? QStringLiteral("48000") : QStringLiteral("44100"))
                << what;
            EXPECT_EQ(audio["channels"].toInt(), 2) << what;
            EXPECT_NEAR(probed["format"]["duration"].toString().toDouble(), 3.0, 0.05) << what;
            EXPECT_EQ(tag(probed, "title"), QStringLiteral("Mr. Brightside")) << what;
            EXPECT_EQ(tag(probed, "artist"), QStringLiteral("The Killers")) << what;
            EXPECT_EQ(tag(probed, "album"), QStringLiteral("Hot Fuss")) << what;
            EXPECT_TRUE(tag(probed, "track").startsWith(QLatin1Char('2'))) << what;
            ASSERT_EQ(pictureStreams(probed), 1) << what;
            for (const QJsonValue& s : probed["streams"].toArray()) {
                if (s["disposition"]["attached_pic"].toInt() == 1) {
                    EXPECT_EQ(s["codec_name"].toString(), QLatin1String(input) == QLatin1String("in.mp3")
                                                              ? QStringLiteral("mjpeg")
                                                              : QStringLiteral("png"))
                        << what;
                }
            }
            EXPECT_TRUE(decodesCleanly(args.last())) << what;
            if (c.format == 9) {
                EXPECT_EQ(tag(probed, "major_brand"), QStringLiteral("M4A ")) << what;
                QFile m4a(args.last());
                ASSERT_TRUE(m4a.open(QIODevice::ReadOnly));
                const QByteArray bytes = m4a.readAll();
                EXPECT_LT(bytes.indexOf("moov"), bytes.indexOf("mdat")) << what << ": the index comes first";
            }
        }
    }
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(NewFormats, BitRateChannelsAndRateFollowTheSelectors)
{
    struct Case
    {
        int format;
        const char* bitrate;
        const char* rate;
        int channelIndex;
        const char* wantRate;
    };
    for (const Case& c : {Case{8, "192", "44100", 1, "48000"}, Case{8, "64", "22050", 0, "48000"},
                          Case{9, "192", "44100", 1, "44100"}, Case{9, "96", "22050", 0, "22050"}}) {
        const QString outFolder = dir.filePath(QStringLiteral("%1-%2").arg(c.format).arg(c.bitrate));
        QDir().mkpath(outFolder);
        const QStringList args =
            templateArgs(c.format, file("noise.wav"), outFolder, c.bitrate, c.rate, c.channelIndex);
        const std::string what = args.last().toStdString();
        const Result r = run(args, ffmpegFails());
        ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
        EXPECT_TRUE(notes(r.console).isEmpty()) << what << ": " << r.console.toStdString();
        const QJsonObject probed = probeAll(args.last());
        const QJsonObject audio = audioStream(probed);
        EXPECT_EQ(audio["sample_rate"].toString(), QLatin1String(c.wantRate)) << what;
        EXPECT_EQ(audio["channels"].toInt(), c.channelIndex + 1) << what;
        const double kbps = probed["format"]["bit_rate"].toString().toDouble() / 1000;
        std::printf("%s: %.1f kbps, %lld bytes\n", what.c_str(), kbps, QFileInfo(args.last()).size());
        EXPECT_NEAR(kbps, QByteArray(c.bitrate).toDouble(), QByteArray(c.bitrate).toDouble() * 0.15) << what;
        EXPECT_TRUE(decodesCleanly(args.last())) << what;
    }
}

TEST_F(NewFormats, M4aOverAnOlderFileIsTheNewConversionWhole)
{
    // A longer mono file at the output's name: the new file must not borrow a byte of it.
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "sine=d=7:r=8000", "-c:a", "aac", file("tone.m4a")}));
    const QStringList args = templateArgs(9, file("tone.wav"), dir.path());
    ASSERT_EQ(args.last(), file("tone.m4a"));
    const Result r = run(args, ffmpegFails());
    ASSERT_EQ(r.status, 0) << r.console.toStdString();
    const QJsonObject probed = probeAll(args.last());
    EXPECT_NEAR(probed["format"]["duration"].toString().toDouble(), 3.0, 0.05);
    EXPECT_EQ(audioStream(probed)["channels"].toInt(), 2);
    EXPECT_EQ(audioStream(probed)["sample_rate"].toString(), QStringLiteral("44100"));
    EXPECT_TRUE(decodesCleanly(args.last()));
    EXPECT_TRUE(leftovers(dir).isEmpty());
}

TEST_F(NewFormats, ARateTheEncoderCannotTakeBecomesTheNearestWithOneLine)
{
    struct Case
    {
        int format;
        const char* gets;
        const char* note; // nullptr: the rate is kept without a word
    };
    for (const Case& c :
         {Case{0, "12000", "the encoder cannot take 12050 Hz: the file gets 12000 Hz"},
          Case{9, "12000", "the encoder cannot take 12050 Hz: the file gets 12000 Hz"}, Case{1, "12050", nullptr}}) {
        const QStringList args = templateArgs(c.format, file("tone.wav"), dir.path(), "32", "12050", 1);
        const std::string what = args.last().toStdString();
        const Result r = run(args, ffmpegFails());
        ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
        EXPECT_EQ(notes(r.console), c.note ? QStringList{QString::fromLatin1(c.note)} : QStringList()) << what;
        if (c.note) {
            EXPECT_LT(r.console.indexOf(c.note), r.console.indexOf("size=")) << what << ": the line comes first";
        }
        EXPECT_EQ(probe(args.last(), QStringLiteral("sample_rate")), QLatin1String(c.gets)) << what;
        EXPECT_TRUE(decodesCleanly(args.last())) << what;

        // The program's progress reads the run to its end as if the line were not there.
        qint32 total = 0;
        std::optional<ProgressParser::Display> shown;
        for (const QByteArray& piece : r.console.split('\r')) {
            for (const QByteArray& line : piece.split('\n')) {
                if (auto d = ProgressParser::Parse(QString::fromUtf8(line + '\n'), total, OptionSettings{}))
                    shown = d;
            }
        }
        EXPECT_EQ(total, 3) << what;
        ASSERT_TRUE(shown) << what;
        EXPECT_EQ(shown->caption, QStringLiteral("100%")) << what;
    }
}

TEST_F(NewFormats, ABitRateTheEncoderChangesIsSaidAndTheFileStillConverts)
{
    struct Case
    {
        int format;
        const char* rate;
        int channelIndex;
        const char* note;
        double kbps; // what the file holds
    };
    for (const Case& c :
         {Case{0, "8000", 1, "the encoder cannot make 320 kbps at 8000 Hz: the file gets 64 kbps", 64},
          Case{8, "44100", 0, "libopus takes at most 256 kbps per channel: the file gets 256 kbps, not 320 kbps",
               256}}) {
        const QStringList args = templateArgs(c.format, file("noise.wav"), dir.path(), "320", c.rate, c.channelIndex);
        const std::string what = args.last().toStdString();
        const Result r = run(args, ffmpegFails());
        ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
        EXPECT_EQ(notes(r.console), QStringList{QString::fromLatin1(c.note)}) << what;
        EXPECT_LT(r.console.indexOf(c.note), r.console.indexOf("size=")) << what;
        const QJsonObject probed = probeAll(args.last());
        EXPECT_EQ(audioStream(probed)["channels"].toInt(), c.channelIndex + 1) << what;
        const double kbps = probed["format"]["bit_rate"].toString().toDouble() / 1000;
        std::printf("%s: %.1f kbps, %lld bytes\n", what.c_str(), kbps, QFileInfo(args.last()).size());
        EXPECT_NEAR(kbps, c.kbps, c.kbps * 0.15) << what;
        EXPECT_TRUE(decodesCleanly(args.last())) << what;
    }
}

// The top-level atoms of an MP4 file, in order.
QStringList topLevelAtoms(const QString& path)
{
    QFile f(path);
    QStringList atoms;
    if (!f.open(QIODevice::ReadOnly))
        return atoms;
    qint64 at = 0;
    while (at + 8 <= f.size()) {
        f.seek(at);
        const QByteArray head = f.read(16);
        quint64 size = qFromBigEndian<quint32>(head.constData());
        if (size == 1)
            size = qFromBigEndian<quint64>(head.constData() + 8);
        atoms.append(QString::fromLatin1(head.mid(4, 4)));
        if (size < 8)
            break;
        at += qint64(size);
    }
    return atoms;
}

QStringList leftoversIn(const QString& folder)
{
    return QDir(folder).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden);
}

// Outputs whose index is larger than their audio: a cover of noise no codec shrinks (a 10 MB PNG), and
// a 100 KB tag, on three seconds of music; next to a file too short for a second frame of music and a
// 4-minute one.
class M4aIndex : public NewFormats
{
protected:
    void SetUp() override
    {
        NewFormats::SetUp();
        QByteArray noise(1830 * 1830 * 3, '\0');
        quint32 x = 2463534242u;
        for (char& c : noise) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            c = char(x);
        }
        QFile raw(file("cover.rgb"));
        ASSERT_TRUE(raw.open(QIODevice::WriteOnly));
        raw.write(noise);
        raw.close();
        ASSERT_TRUE(runFfmpeg({"-f", "rawvideo", "-pix_fmt", "rgb24", "-s", "1830x1830", "-i", file("cover.rgb"),
                               "-frames:v", "1", file("large.png")}));
        ASSERT_GT(QFileInfo(file("large.png")).size(), 10'000'000);
        QFile meta(file("meta.txt"));
        ASSERT_TRUE(meta.open(QIODevice::WriteOnly));
        meta.write(";FFMETADATA1\ntitle=Song\nlyrics=" + QByteArray(100'000, 'l') + "\n");
        meta.close();
        ASSERT_TRUE(runFfmpeg({"-i", file("tone.wav"), "-i", file("large.png"), "-i", file("meta.txt"), "-map", "0",
                               "-map", "1", "-map_metadata", "2", "-c:v", "copy", "-disposition:v", "attached_pic",
                               file("large-cover.flac")}));
        ASSERT_TRUE(makeTone(file("short.wav"), 0.02));
        ASSERT_TRUE(makeTone(file("long.wav"), 240));
    }

    // Converts each case into folder and checks the output plays to its end, then removes it (a stick
    // holds one at a time).
    void convertsAndPlays(const QString& folder)
    {
        struct Case
        {
            const char* input;
            double seconds;
            bool cover;
        };
        for (const Case& c :
             {Case{"short.wav", 0.02, false}, Case{"long.wav", 240, false}, Case{"large-cover.flac", 3, true}}) {
            const QStringList args = templateArgs(9, file(c.input), folder);
            const std::string what = args.last().toStdString();
            const Result r = run(args, ffmpegFails());
            ASSERT_EQ(r.status, 0) << what << ": " << r.console.toStdString();
            const QJsonObject probed = probeAll(args.last());
            EXPECT_EQ(audioStream(probed)["codec_name"].toString(), QStringLiteral("aac")) << what;
            EXPECT_NEAR(probed["format"]["duration"].toString().toDouble(), c.seconds, 0.03) << what;
            EXPECT_EQ(pictureStreams(probed), c.cover ? 1 : 0) << what;
            if (c.cover) {
                EXPECT_EQ(tag(probed, "lyrics").size(), 100'000) << what;
                EXPECT_EQ(tag(probed, "title"), QStringLiteral("Song")) << what;
            }
            EXPECT_TRUE(decodesCleanly(args.last())) << what;
            const QStringList atoms = topLevelAtoms(args.last());
            ASSERT_GE(atoms.size(), 3) << what;
            EXPECT_EQ(atoms.first(), QStringLiteral("ftyp")) << what;
            EXPECT_EQ(atoms[1], QStringLiteral("moov")) << what << ": the index comes first";
            EXPECT_EQ(atoms.last(), QStringLiteral("mdat")) << what << ": the audio ends the file";
            EXPECT_TRUE(leftoversIn(folder).isEmpty()) << what;
            EXPECT_TRUE(QFile::remove(args.last())) << what;
        }
    }
};

TEST_F(M4aIndex, ShortLongAndWithACoverLargerThanItsAudioEachPlaysToTheEnd)
{
    QDir().mkpath(file("out"));
    convertsAndPlays(file("out"));
}

TEST_F(M4aIndex, OnAFatStickShortLongAndWithACoverLargerThanItsAudioEachPlaysToTheEnd)
{
    FatStick stick;
    if (!stick.mounted())
        GTEST_SKIP() << "needs /dev/fuse, fusefat and mkfs.fat";
    convertsAndPlays(stick.mount());
}

TEST_F(M4aIndex, AnInputLongerThanItsHeaderSaysFailsWithTheReasonAndLeavesNothing)
{
    // Two minutes of music whose header claims one second: the room kept for the index is too small.
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "sine=d=120:r=8000", "-ac", "1", file("lying.flac")}));
    QFile flac(file("lying.flac"));
    ASSERT_TRUE(flac.open(QIODevice::ReadWrite));
    QByteArray bytes = flac.readAll();
    ASSERT_EQ(bytes.left(4), QByteArray("fLaC"));
    // STREAMINFO's 36-bit sample count: the low 4 bits of its byte 13, then bytes 14 to 17.
    bytes[8 + 13] = char(bytes[8 + 13] & 0xF0);
    qToBigEndian<quint32>(8000, bytes.data() + 8 + 14);
    flac.seek(0);
    flac.write(bytes);
    flac.close();
    ASSERT_NEAR(probe(file("lying.flac"), QStringLiteral("duration")).toDouble(), 1.0, 0.01);

    FatStick stick;
    QStringList folders = {file("out")};
    QDir().mkpath(file("out"));
    if (stick.mounted())
        folders.append(stick.mount());
    for (const QString& folder : folders) {
        const QStringList args = templateArgs(9, file("lying.flac"), folder, "32", "8000", 0);
        const Result r = run(args, ffmpegFails());
        EXPECT_NE(r.status, 0) << folder.toStdString();
        const QString reason = lastLine(r.console);
        EXPECT_TRUE(reason.startsWith(QStringLiteral("the M4A index needs "))) << reason.toStdString();
        EXPECT_TRUE(reason.endsWith(QStringLiteral(" kept for it at the front of the file: the input is longer than "
                                                   "its header says")))
            << reason.toStdString();
        EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot))
            << folder.toStdString();
    }
    if (!stick.mounted())
        GTEST_SKIP() << "checked in a local folder only: a FAT stick needs /dev/fuse, fusefat and mkfs.fat";
}

// The system calls a run of the tool made that sync data or give a file its name, as strace shows them
// (-y names each descriptor's file).
QStringList syncAndNameCalls(const QStringList& args, bool* traced)
{
    const QString log =
        QDir::temp().filePath(QStringLiteral("conv-trace-%1.log").arg(QCoreApplication::applicationPid()));
    QProcessEnvironment env = withoutFfmpeg();
    // LeakSanitizer cannot run under a tracer; the other runs of the tool check for leaks.
    const QString asan = env.value(QStringLiteral("ASAN_OPTIONS"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), asan + (asan.isEmpty() ? "" : ":") + QStringLiteral("detect_leaks=0"));
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QStringLiteral("strace"),
            QStringList{"-f", "-y", "-e", "trace=fdatasync,fsync,rename,renameat2,link", "-o", log, tool()} + args);
    *traced = p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    QFile f(log);
    QStringList calls;
    if (f.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : f.readAll().split('\n')) {
            if (line.contains(".part-"))
                calls.append(QString::fromUtf8(line));
        }
    }
    f.remove();
    return calls;
}

TEST_F(ConvTool, APartFilesDataReachesTheDiskBeforeItTakesTheOutputsName)
{
    if (QStandardPaths::findExecutable(QStringLiteral("strace")).isEmpty() ||
        QProcess::execute(QStringLiteral("strace"), {"-o", "/dev/null", "true"}) != 0)
        GTEST_SKIP() << "needs strace, allowed to trace";
    FatStick stick;
    QTemporaryDir memory(QStringLiteral("/dev/shm/veltra-test-XXXXXX"));
    QStringList folders = {dir.path()};
    if (memory.isValid())
        folders.append(memory.path());
    if (stick.mounted())
        folders.append(stick.mount());
    for (const QString& folder : folders) {
        // MP3 through FFmpeg's muxer, AMR-NB through the tool's own writer.
        for (const int format : {0, 7}) {
            const QStringList args = templateArgs(format, file("tone.wav"), folder);
            const std::string what = args.last().toStdString();
            bool traced = false;
            const QStringList calls = syncAndNameCalls(args, &traced);
            ASSERT_TRUE(traced) << what;
            qsizetype synced = -1;
            qsizetype named = -1;
            for (qsizetype i = 0; i < calls.size(); ++i) {
                const QString& call = calls[i];
                if (synced < 0 && call.contains(QLatin1String("fdatasync(")) && call.endsWith(QLatin1String("= 0")))
                    synced = i;
                if (named < 0 && !call.contains(QLatin1String("sync(")) && call.endsWith(QLatin1String("= 0")))
                    named = i;
            }
            EXPECT_GE(synced, 0) << what << ": " << calls.join(QLatin1Char('\n')).toStdString();
            EXPECT_GT(named, synced) << what << ": " << calls.join(QLatin1Char('\n')).toStdString();
            EXPECT_FALSE(probe(args.last(), QStringLiteral("codec_name")).isEmpty()) << what;
            EXPECT_TRUE(leftoversIn(folder).isEmpty()) << what;
            EXPECT_TRUE(QFile::remove(args.last())) << what;
        }
    }
    if (!stick.mounted())
        GTEST_SKIP() << "checked on a disk and tmpfs only: a FAT stick needs /dev/fuse, fusefat and mkfs.fat";
}

} // namespace
