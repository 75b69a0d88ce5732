#include "TestSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

struct Ran
{
    int status = -1;
    QString out;
    QString err;
};

// The real program copied into a program folder of its own (the folder of the running executable is
// its program folder, links resolved), beside the build's conversion tool, started as a terminal would
// start it but with no display of any kind.
class TerminalRun : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(QDir().mkpath(program + QStringLiteral("/data")));
        ASSERT_TRUE(QFile::copy(buildProgramFolder() + QStringLiteral("/veltra-wma-converter"), executable()));
        ASSERT_TRUE(QFile::link(buildProgramFolder() + QStringLiteral("/data/conv.exe"),
                                program + QStringLiteral("/data/conv.exe")));
    }
    QString executable() const { return program + QStringLiteral("/veltra-wma-converter"); }
    QString file(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    // Started as from a terminal with no display of any kind, here, with exactly these arguments.
    void startPlain(QProcess& p, const QStringList& arguments) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QString::fromLatin1(name));
        // Our own formats never start FFmpeg's program: were it started, it would fail.
        env.insert(QStringLiteral("VELTRA_FFMPEG"), QStringLiteral("/nonexistent/ffmpeg"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(dir.path());
        p.start(executable(), arguments);
    }
    void start(QProcess& p, const QStringList& arguments) const
    {
        startPlain(p, QStringList{QStringLiteral("--convert")} + arguments);
    }
    Ran run(const QStringList& arguments) const
    {
        QProcess p;
        start(p, arguments);
        Ran r;
        if (!p.waitForFinished(180000)) {
            p.kill();
            p.waitForFinished();
            return r;
        }
        r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
        r.out = QString::fromUtf8(p.readAllStandardOutput());
        r.err = QString::fromUtf8(p.readAllStandardError());
        return r;
    }
    // Every file beneath a folder, by name.
    QStringList filesUnder(const QString& folder) const
    {
        QStringList names;
        QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
        while (it.hasNext())
            names.append(QFileInfo(it.next()).fileName());
        names.sort();
        return names;
    }
    QString findUnder(const QString& folder, const QString& name) const
    {
        QDirIterator it(folder, {name}, QDir::Files, QDirIterator::Subdirectories);
        return it.hasNext() ? it.next() : QString();
    }

    QTemporaryDir dir;
    QString program = dir.path() + QStringLiteral("/program");
};

TEST_F(TerminalRun, AFolderTreeConvertsToMp3AndOpusWithNoDisplay)
{
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("in/sub"))));
    ASSERT_TRUE(makeTone(file(QStringLiteral("in/one.wav")), 2));
    ASSERT_TRUE(makeTone(file(QStringLiteral("in/sub/two.wav")), 2));
    QFile notes(file(QStringLiteral("in/notes.txt")));
    ASSERT_TRUE(notes.open(QIODevice::WriteOnly));
    notes.write("not audio\n");
    notes.close();

    for (const auto& [format, codec] : {std::pair{"mp3", "mp3"}, std::pair{"opus", "opus"}}) {
        const QString out = file(QStringLiteral("out-") + QLatin1String(format));
        const Ran r = run({QStringLiteral("--format"), QLatin1String(format), QStringLiteral("--output"),
                           QStringLiteral("out-") + QLatin1String(format), QStringLiteral("in")});
        SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
        // Everything the scan collected converted: status 0, as the README says.
        ASSERT_EQ(r.status, 0);
        for (const char* name : {"one", "two"}) {
            const QString made = findUnder(out, QLatin1String(name) + QLatin1Char('.') + QLatin1String(format));
            ASSERT_FALSE(made.isEmpty()) << name;
            EXPECT_EQ(probe(made, QStringLiteral("codec_name")), QLatin1String(codec));
            EXPECT_TRUE(r.out.contains(
                QStringLiteral("%1: ok\n").arg(findUnder(file("in"), QLatin1String(name) + QStringLiteral(".wav")))));
        }
        // Text is no music: the folder scan leaves it out, so it neither converts nor fails.
        EXPECT_TRUE(findUnder(out, QStringLiteral("notes.*")).isEmpty());
        EXPECT_FALSE(r.out.contains(QStringLiteral("notes.txt")));
        EXPECT_FALSE(r.err.contains(QStringLiteral("notes.txt")));
        EXPECT_TRUE(r.out.contains(QStringLiteral("\n2 of 2 files converted in "))) << r.out.toStdString();
        EXPECT_FALSE(r.err.contains(QStringLiteral("display"), Qt::CaseInsensitive));
        EXPECT_FALSE(QFile::exists(program + QStringLiteral("/setup.ini"))) << "the settings are never written";
    }
}

TEST_F(TerminalRun, AFailingInputIsNamedWithItsReasonAndTheOthersStillConvert)
{
    ASSERT_TRUE(makeTone(file(QStringLiteral("good.wav")), 2));
    QFile bad(file(QStringLiteral("bad.wav")));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(QByteArray(4096, 'x'));
    bad.close();
    const Ran r = run({QStringLiteral("--format"), QStringLiteral("mp3"), QStringLiteral("-o"), QStringLiteral("out"),
                       QStringLiteral("bad.wav"), QStringLiteral("good.wav"), QStringLiteral("missing.wav")});
    SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(QFile::exists(file(QStringLiteral("out/good.mp3"))));
    EXPECT_FALSE(QFile::exists(file(QStringLiteral("out/bad.mp3"))));
    const QStringList errors = r.err.split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(errors.size(), 2);
    EXPECT_TRUE(errors.value(0).startsWith(QStringLiteral("veltra-wma-converter: ") + file("missing.wav") +
                                           QStringLiteral(": no such file or folder")));
    EXPECT_TRUE(errors.value(1).startsWith(QStringLiteral("veltra-wma-converter: ") + file("bad.wav") + ": "));
    EXPECT_GT(errors.value(1).size(), (QStringLiteral("veltra-wma-converter: ") + file("bad.wav") + ": ").size());
    EXPECT_TRUE(r.out.contains(file("good.wav") + QStringLiteral(": ok\n")));
    EXPECT_TRUE(r.out.contains(file("bad.wav") + QStringLiteral(": failed: ")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("1 of 3 files converted, 2 failed")));
}

TEST_F(TerminalRun, UsageErrorsAndNothingToStartExitWithTwo)
{
    ASSERT_TRUE(makeTone(file(QStringLiteral("a.wav")), 1));
    Ran r = run({QStringLiteral("--format"), QStringLiteral("mp4"), QStringLiteral("a.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.startsWith(QStringLiteral("veltra-wma-converter: --format: 'mp4' is not accepted; use mp3|")));
    EXPECT_TRUE(r.err.contains(QStringLiteral("--convert --help")));
    EXPECT_TRUE(r.out.isEmpty());

    r = run({});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("no file or folder to convert")));

    r = run({QStringLiteral("nothing-here.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_TRUE(r.err.contains(QStringLiteral("nothing-here.wav: no such file or folder")));

    // The tool is missing: nothing can start.
    ASSERT_TRUE(QFile::remove(program + QStringLiteral("/data/conv.exe")));
    r = run({QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("a.wav")});
    EXPECT_EQ(r.status, 2);
    EXPECT_FALSE(r.err.isEmpty());

    r = run({QStringLiteral("--help")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.startsWith(QStringLiteral("Usage: veltra-wma-converter --convert")));
}

TEST_F(TerminalRun, CtrlCStopsLikeStopLeavingNoPartFileAndEarlierOutputsWhole)
{
    ASSERT_TRUE(makeTone(file(QStringLiteral("a-short.wav")), 2));
    ASSERT_TRUE(makeTone(file(QStringLiteral("b-long.wav")), 400));
    ASSERT_TRUE(makeTone(file(QStringLiteral("c-long.wav")), 400));
    QProcess p;
    start(p, {QStringLiteral("--format"), QStringLiteral("mp3"), QStringLiteral("--jobs"), QStringLiteral("1"),
              QStringLiteral("-o"), QStringLiteral("out"), QStringLiteral("a-short.wav"), QStringLiteral("b-long.wav"),
              QStringLiteral("c-long.wav")});
    ASSERT_TRUE(p.waitForStarted());
    // The second file is being written when the signal comes.
    const auto partOfB = [&] {
        const QStringList names = filesUnder(file(QStringLiteral("out")));
        return std::any_of(names.cbegin(), names.cend(),
                           [](const QString& n) { return n.startsWith(QStringLiteral(".b-long.mp3.part-")); });
    };
    ASSERT_TRUE(QTest::qWaitFor(partOfB, 60000)) << filesUnder(file("out")).join(' ').toStdString();
    ::kill(pid_t(p.processId()), SIGINT);
    ASSERT_TRUE(p.waitForFinished(20000));
    EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(p.exitCode(), 130);
    EXPECT_EQ(filesUnder(file(QStringLiteral("out"))), QStringList{QStringLiteral("a-short.mp3")});
    EXPECT_EQ(probe(file(QStringLiteral("out/a-short.mp3")), QStringLiteral("codec_name")), QStringLiteral("mp3"));
    const QString said = QString::fromUtf8(p.readAllStandardOutput());
    EXPECT_TRUE(said.contains(QStringLiteral("Stopped: 1 of 3 files converted"))) << said.toStdString();
}

TEST_F(TerminalRun, ARunBesideAnOpenWindowConvertingIntoTheSameFolderReplacesNothing)
{
    Sound::setPlayer([](const QString&) {});
    OpenedUrls opened;
    MsgBoxRecorder boxes;
    QStringList inputs;
    for (const char* name : {"x.wav", "y.wav", "z.wav"}) {
        ASSERT_TRUE(makeTone(file(QLatin1String(name)), 30));
        inputs.append(file(QLatin1String(name)));
    }
    frmMain window(program);
    window.ui().txtPath->setText(file(QStringLiteral("out")));
    for (const QString& in : inputs)
        window.ui().lstFile->append(in);
    QSignalSpy finished(&window, &frmMain::batchFinished);
    ASSERT_TRUE(trigger(&window, "actionConvert"));

    QProcess p;
    start(p,
          QStringList{QStringLiteral("--format"), QStringLiteral("wma"), QStringLiteral("-o"), QStringLiteral("out")} +
              inputs);
    EXPECT_TRUE(QTest::qWaitFor([&] { return finished.count() > 0 && p.state() == QProcess::NotRunning; }, 180000));
    EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
    const QStringList made = filesUnder(file(QStringLiteral("out")));
    EXPECT_EQ(made.size(), 6) << made.join(' ').toStdString();
    for (const QString& name : made)
        EXPECT_EQ(probe(file(QStringLiteral("out/") + name), QStringLiteral("codec_name")), QStringLiteral("wmav1"))
            << name.toStdString();
    EXPECT_TRUE(boxes.shown().isEmpty());
    Sound::setPlayer({});
}

TEST_F(TerminalRun, AnOutputFolderInsideTheSearchedFolderIsNeverSearchedOnTheNextRun)
{
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("lib/Album"))));
    ASSERT_TRUE(makeTone(file(QStringLiteral("lib/Album/one.wav")), 0.3));
    const QStringList args = {QStringLiteral("--format"), QStringLiteral("wav"),      QStringLiteral("--existing"),
                              QStringLiteral("skip"),     QStringLiteral("--output"), QStringLiteral("lib/converted"),
                              QStringLiteral("lib")};
    const Ran first = run(args);
    ASSERT_EQ(first.status, 0) << first.err.toStdString();
    EXPECT_EQ(filesUnder(file(QStringLiteral("lib/converted"))), QStringList{"one.wav"});
    // The second run finds the album's one file again and skips it; the output beside it is no input.
    const Ran second = run(args);
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains(QStringLiteral("0 of 1 files converted"))) << second.out.toStdString();
    EXPECT_EQ(filesUnder(file(QStringLiteral("lib/converted"))), QStringList{"one.wav"});
}

TEST_F(TerminalRun, AFolderThatCannotBeSearchedIsCountedNamedWhenVerboseAndFailsTheRun)
{
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("lib/Deep"))));
    ASSERT_TRUE(makeTone(file(QStringLiteral("lib/one.wav")), 0.3));
    const QString deep = makeFolderPastPathMax(file(QStringLiteral("lib/Deep")));
    ASSERT_FALSE(deep.isEmpty());
    const QStringList args = {QStringLiteral("--format"), QStringLiteral("mp3"), QStringLiteral("-o"),
                              QStringLiteral("out"), QStringLiteral("lib")};
    const Ran plain = run(args);
    const Ran verbose =
        run(QStringList{QStringLiteral("--verbose"), QStringLiteral("--existing"), QStringLiteral("skip")} + args);
    removeDeepTree(file(QStringLiteral("lib/Deep")));
    EXPECT_EQ(plain.status, 1) << "a folder left out is no success";
    EXPECT_TRUE(plain.err.contains(QStringLiteral("1 folder could not be searched (--verbose names them)")))
        << plain.err.toStdString();
    EXPECT_TRUE(plain.out.contains(QStringLiteral("1 of 1 files converted"))) << plain.out.toStdString();
    EXPECT_EQ(verbose.status, 1);
    EXPECT_TRUE(verbose.err.contains(QStringLiteral("/Deep/xxxx")));
    EXPECT_TRUE(verbose.err.contains(QStringLiteral(": could not be searched: File name too long\n")))
        << verbose.err.toStdString();
}

TEST_F(TerminalRun, HelpAndVersionFirstAnswerWithNoDisplayAndALostReportIsAFailure)
{
    for (const char* word : {"--help", "-h"}) {
        QProcess help;
        startPlain(help, {QString::fromLatin1(word)});
        ASSERT_TRUE(help.waitForFinished(60000)) << word;
        EXPECT_EQ(help.exitStatus(), QProcess::NormalExit) << word;
        EXPECT_EQ(help.exitCode(), 0) << word;
        const QString out = QString::fromUtf8(help.readAllStandardOutput());
        EXPECT_TRUE(out.startsWith(QStringLiteral("Usage: veltra-wma-converter --convert"))) << word;
        EXPECT_TRUE(out.contains(QStringLiteral("Without --convert the window opens"))) << word;
    }
    QProcess version;
    startPlain(version, {QStringLiteral("-V")});
    ASSERT_TRUE(version.waitForFinished(60000));
    EXPECT_EQ(version.exitCode(), 0);
    EXPECT_TRUE(version.readAllStandardOutput().startsWith("veltra-wma-converter 1."));

    // As "ls > /dev/full" fails: the files convert, the lost report makes the run fail.
    ASSERT_TRUE(makeTone(file(QStringLiteral("one.wav")), 0.3));
    QProcess full;
    full.setStandardOutputFile(QStringLiteral("/dev/full"));
    start(full, {QStringLiteral("--format"), QStringLiteral("wav"), QStringLiteral("-o"), QStringLiteral("out"),
                 QStringLiteral("one.wav")});
    ASSERT_TRUE(full.waitForFinished(120000));
    EXPECT_EQ(full.exitCode(), 1);
    EXPECT_TRUE(QString::fromUtf8(full.readAllStandardError())
                    .contains(QStringLiteral("the report could not be written: No space left on device")));
    EXPECT_TRUE(QFile::exists(file(QStringLiteral("out/one.wav"))));
}

TEST_F(TerminalRun, ANameThatIsNotUtf8IsReportedAsItsOwnBytes)
{
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("in"))));
    ASSERT_TRUE(makeTone(file(QStringLiteral("in/tone.wav")), 0.3));
    // Two names that differ only in a byte that is no text: each is printed as itself.
    for (const char* name : {"/in/caf\xe9.wav", "/in/caf\xe8.wav"})
        ASSERT_EQ(::link(QFile::encodeName(file(QStringLiteral("in/tone.wav"))).constData(),
                         (QFile::encodeName(dir.path()) + name).constData()),
                  0);
    const Ran r = run({QStringLiteral("--format"), QStringLiteral("mp3"), QStringLiteral("-o"), QStringLiteral("out"),
                       QStringLiteral("in")});
    ASSERT_EQ(r.status, 0) << r.err.toStdString();
    EXPECT_TRUE(r.out.contains(file(QStringLiteral("in/caf\\xE9.wav: ok\n")))) << r.out.toStdString();
    EXPECT_TRUE(r.out.contains(file(QStringLiteral("in/caf\\xE8.wav: ok\n")))) << r.out.toStdString();
}

} // namespace
