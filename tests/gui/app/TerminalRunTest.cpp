#include "AlbumImageFiles.h"
#include "GuiSupport.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <unistd.h>
#include <utime.h>

using namespace TestSupport;

namespace {

// The real program copied into a program folder of its own (the folder of the running executable is
// its program folder, links resolved), beside the build's conversion tool, started as a terminal would
// start it but with no display of any kind.
class TerminalRun : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(makeProgramFolder(program)); }
    QString executable() const { return program + QStringLiteral("/veltra-wma-converter"); }
    QString file(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }

    // Started as from a terminal with no display of any kind, here, with exactly these arguments.
    void startPlain(QProcess& p, const QStringList& arguments) const
    {
        startWithoutDisplay(p, executable(), arguments, dir.path());
    }
    void start(QProcess& p, const QStringList& arguments) const
    {
        startPlain(p, QStringList{QStringLiteral("--convert")} + arguments);
    }
    Ran run(const QStringList& arguments) const
    {
        return runWithoutDisplay(executable(), QStringList{QStringLiteral("--convert")} + arguments, dir.path(),
                                 QProcessEnvironment(), 180000);
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

// The processes whose parent is pid.
QList<qint64> childrenOf(qint64 pid)
{
    QList<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[1].toLongLong() == pid)
            children.append(entry.toLongLong());
    }
    return children;
}

TEST_F(TerminalRun, CtrlZInATerminalHoldsTheRunAndItsToolAndFgLetsThemFinishTheFileWhole)
{
    ASSERT_TRUE(makeTone(file(QStringLiteral("long.wav")), 120));
    const QString bash = QStandardPaths::findExecutable(QStringLiteral("bash"));
    ASSERT_FALSE(bash.isEmpty());
    // Everything the child needs, made before the fork: after it only exec. An interactive shell on a
    // terminal of its own runs the program as a job, as a user's shell would.
    const QByteArray shell = bash.toLocal8Bit();
    QList<QByteArray> args = {"bash", "--norc", "--noprofile", "-i"};
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    QList<QByteArray> env;
    const QProcessEnvironment system = QProcessEnvironment::systemEnvironment();
    for (const QString& name : system.keys()) {
        if (name != QLatin1String("DISPLAY") && name != QLatin1String("WAYLAND_DISPLAY") &&
            name != QLatin1String("QT_QPA_PLATFORM") && name != QLatin1String("VELTRA_FFMPEG"))
            env.append((name + QLatin1Char('=') + system.value(name)).toLocal8Bit());
    }
    env.append("VELTRA_FFMPEG=/nonexistent/ffmpeg");
    env.append("PS1=$ ");
    std::vector<char*> envp;
    for (QByteArray& e : env)
        envp.push_back(e.data());
    envp.push_back(nullptr);
    const QByteArray here = dir.path().toLocal8Bit();

    int terminal = -1;
    const pid_t shellPid = ::forkpty(&terminal, nullptr, nullptr, nullptr);
    ASSERT_GE(shellPid, 0);
    if (shellPid == 0) {
        if (::chdir(here.constData()) == 0)
            ::execve(shell.constData(), argv.data(), envp.data());
        ::_exit(127);
    }
    const auto cleanup = qScopeGuard([&] {
        ::kill(shellPid, SIGKILL);
        ::waitpid(shellPid, nullptr, 0);
        ::close(terminal);
    });
    ::fcntl(terminal, F_SETFL, ::fcntl(terminal, F_GETFL) | O_NONBLOCK);
    QByteArray screen;
    // The terminal's output is read as it comes, so nothing ever waits on a full terminal.
    auto drain = [&] {
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(terminal, buffer, sizeof buffer)) > 0)
            screen.append(buffer, n);
    };
    auto type = [&](const QByteArray& keys) {
        return ::write(terminal, keys.constData(), size_t(keys.size())) == keys.size();
    };
    const QString out = file(QStringLiteral("out"));
    auto parts = [&] { return QDir(out).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden); };

    ASSERT_TRUE(type(executable().toLocal8Bit() + " --convert --format mp3 -o out long.wav\n"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            drain();
            return !parts().isEmpty();
        },
        120000))
        << screen.toStdString();
    const QList<qint64> programs = childrenOf(shellPid);
    ASSERT_EQ(programs.size(), 1);
    const qint64 program = programs[0];
    qint64 tool = -1;
    for (qint64 child : childrenOf(program)) {
        if (toolGroupRunning(child))
            tool = child;
    }
    ASSERT_GT(tool, 0);

    // Ctrl+Z: the terminal sends SIGTSTP to the job's group, which is the program's alone.
    ASSERT_TRUE(type("\x1a"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            drain();
            return processState(program) == 'T' && processState(tool) == 'T';
        },
        60000))
        << "program " << processState(program) << ", tool " << processState(tool) << "\n"
        << screen.toStdString();
    const QStringList held = parts();
    ASSERT_EQ(held.size(), 1);
    const qint64 size = QFileInfo(out + QLatin1Char('/') + held[0]).size();
    QTest::qWait(500);
    EXPECT_EQ(QFileInfo(out + QLatin1Char('/') + held[0]).size(), size) << "a held tool writes nothing";

    // fg: the job and its tool go on, and the file is whole.
    ASSERT_TRUE(type("fg\n"));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            drain();
            return processState(program) == 0 || processState(program) == 'Z';
        },
        120000))
        << screen.toStdString();
    ASSERT_TRUE(type("echo \"status=$?\"\n"));
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            drain();
            return screen.contains("status=0");
        },
        30000))
        << screen.toStdString();
    EXPECT_NEAR(probe(file(QStringLiteral("out/long.mp3")), QStringLiteral("duration")).toDouble(), 120.0, 0.1);
    EXPECT_TRUE(parts().isEmpty());
}

TEST_F(TerminalRun, NamesFromTagsAndKeptDatesFromTheCommandLine)
{
    ASSERT_TRUE(makeTone(file(QStringLiteral("tone.wav")), 1));
    QProcess ffmpeg;
    ffmpeg.start(QStringLiteral("ffmpeg"), {"-v", "error", "-y", "-i", file(QStringLiteral("tone.wav")), "-metadata",
                                            "artist=Solo", "-metadata", "title=Song", file(QStringLiteral("x.flac"))});
    ASSERT_TRUE(ffmpeg.waitForFinished(60000) && ffmpeg.exitCode() == 0);
    const struct utimbuf times
    {
        978307200, 978307200
    };
    ASSERT_EQ(::utime(QFile::encodeName(file(QStringLiteral("x.flac"))).constData(), &times), 0);
    const Ran r = run({QStringLiteral("--format"), QStringLiteral("mp3"), QStringLiteral("-o"), QStringLiteral("out"),
                       QStringLiteral("--names"), QStringLiteral("{artist}/{title} ({name})"),
                       QStringLiteral("--keep-dates"), QStringLiteral("x.flac")});
    SCOPED_TRACE(r.out.toStdString() + r.err.toStdString());
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(filesUnder(file(QStringLiteral("out"))), QStringList{"Song (x).mp3"});
    const QFileInfo made(file(QStringLiteral("out/Solo/Song (x).mp3")));
    ASSERT_TRUE(made.exists());
    EXPECT_EQ(made.lastModified().toSecsSinceEpoch(), 978307200);
    // Again in skip mode: the name the tags give is there, so the file is skipped, and said to be.
    const Ran again =
        run({QStringLiteral("--format"), QStringLiteral("mp3"), QStringLiteral("-o"), QStringLiteral("out"),
             QStringLiteral("--names"), QStringLiteral("{artist}/{title} ({name})"), QStringLiteral("--existing"),
             QStringLiteral("skip"), QStringLiteral("x.flac")});
    EXPECT_EQ(again.status, 0);
    EXPECT_TRUE(again.out.contains(file(QStringLiteral("x.flac")) + QStringLiteral(": skipped\n")))
        << again.out.toStdString();
    EXPECT_EQ(filesUnder(file(QStringLiteral("out"))), QStringList{"Song (x).mp3"});
    EXPECT_EQ(run({QStringLiteral("--names"), QStringLiteral("{nope}"), QStringLiteral("x.flac")}).status, 2);
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
    EXPECT_TRUE(second.out.contains(QStringLiteral("0 of 1 files converted, 1 skipped in ")))
        << second.out.toStdString();
    EXPECT_TRUE(second.out.contains(QStringLiteral("/lib/Album/one.wav: skipped\n"))) << second.out.toStdString();
    EXPECT_EQ(filesUnder(file(QStringLiteral("lib/converted"))), QStringList{"one.wav"});
}

TEST_F(TerminalRun, AnAlbumImageConvertsAsItsTracksReportedAsPathHashNAndASkipRunConvertsNothing)
{
    using namespace AlbumImageFiles;
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("rips"))));
    ASSERT_TRUE(Make(file(QStringLiteral("image.wav")), file(QStringLiteral("rips/image.flac"))));
    ASSERT_TRUE(Write(file(QStringLiteral("rips/image.cue")), Sheet(QStringLiteral("image.wav"))));
    // The sheet and its image both named, the tracks listed once; a second image whose sheet is broken.
    ASSERT_TRUE(QFile::copy(file(QStringLiteral("rips/image.flac")), file(QStringLiteral("rips/broken.flac"))));
    QByteArray bad = Sheet(QStringLiteral("broken.flac"));
    bad.replace("INDEX 01 00:08:00", "INDEX 01 20:00:00");
    ASSERT_TRUE(Write(file(QStringLiteral("rips/broken.cue")), bad));
    const QStringList args = {QStringLiteral("--format"),        QStringLiteral("flac"),
                              QStringLiteral("--output"),        QStringLiteral("out"),
                              QStringLiteral("rips/image.cue"),  QStringLiteral("rips/image.flac"),
                              QStringLiteral("rips/broken.flac")};
    const Ran first = run(args);
    SCOPED_TRACE(first.out.toStdString() + first.err.toStdString());
    ASSERT_EQ(first.status, 0);
    const QString image = file(QStringLiteral("rips/image.flac"));
    for (int n = 1; n <= 3; ++n)
        EXPECT_TRUE(first.out.contains(QStringLiteral("%1#%2: ok\n").arg(image).arg(n))) << n;
    EXPECT_TRUE(first.out.contains(QStringLiteral("\n4 of 4 files converted in ")));
    EXPECT_TRUE(first.err.contains(
        QStringLiteral("broken.flac is listed whole: track 03 starts after the end of \"broken.flac\"\n")));
    EXPECT_EQ(filesUnder(file(QStringLiteral("out"))),
              (QStringList{"01 Low.flac", "02 AC_DC Cover.flac", "03 Track 03.flac", "broken.flac"}));
    const QString album = file(QStringLiteral("out/image/"));
    const QByteArray joined =
        Decoded({album + "01 Low.flac", album + "02 AC_DC Cover.flac", album + "03 Track 03.flac"});
    EXPECT_EQ(Md5(joined), Md5(Decoded({file(QStringLiteral("image.wav"))})));

    const Ran second = run(QStringList{QStringLiteral("--existing"), QStringLiteral("skip")} + args);
    EXPECT_EQ(second.status, 0) << second.err.toStdString();
    EXPECT_TRUE(second.out.contains(QStringLiteral("%1#2: skipped\n").arg(image))) << second.out.toStdString();
    EXPECT_TRUE(second.out.contains(QStringLiteral("0 of 4 files converted, 4 skipped"))) << second.out.toStdString();
    EXPECT_EQ(filesUnder(file(QStringLiteral("out"))).size(), 4);
}

// Skip mode with things in the way at output names: each of those files fails, named with what is there,
// on every run; nothing is written over or beside them; the file whose output an earlier run wrote is
// skipped and said to be.
TEST_F(TerminalRun, SkipModeFailsFilesWhoseNameHoldsAnEmptyFileAFolderOrADanglingLinkOnEveryRunAndAddsNoCopy)
{
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("out/folder.wav"))));
    QFile empty(file(QStringLiteral("out/empty.wav")));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();
    ASSERT_TRUE(QFile::link(file(QStringLiteral("out/gone.wav")), file(QStringLiteral("out/link.wav"))));
    ASSERT_TRUE(QDir().mkpath(file(QStringLiteral("in"))));
    for (const char* name : {"empty", "folder", "link", "tone"})
        ASSERT_TRUE(makeTone(file(QStringLiteral("in/%1.wav").arg(QLatin1String(name))), 0.3));
    const QStringList args = {QStringLiteral("--format"), QStringLiteral("wav"),       QStringLiteral("--existing"),
                              QStringLiteral("skip"),     QStringLiteral("--folders"), QStringLiteral("flat"),
                              QStringLiteral("-o"),       QStringLiteral("out"),       QStringLiteral("in")};
    for (int round = 1; round <= 2; ++round) {
        const Ran r = run(args);
        EXPECT_EQ(r.status, 1) << round << r.err.toStdString();
        for (const auto& [input, what] : {std::pair{"empty", "An empty file"}, std::pair{"folder", "A folder"},
                                          std::pair{"link", "A link to nothing"}}) {
            const QString line =
                QStringLiteral("%1: failed: %2 is in the way at %3")
                    .arg(file(QStringLiteral("in/%1.wav").arg(QLatin1String(input))), QLatin1String(what),
                         file(QStringLiteral("out/%1.wav").arg(QLatin1String(input))));
            EXPECT_TRUE(r.out.contains(line)) << round << " " << line.toStdString() << "\n" << r.out.toStdString();
        }
        const QString summary = round == 1 ? QStringLiteral("1 of 4 files converted, 3 failed in ")
                                           : QStringLiteral("0 of 4 files converted, 3 failed, 1 skipped in ");
        EXPECT_TRUE(r.out.contains(summary)) << round << r.out.toStdString();
        EXPECT_EQ(r.out.contains(file(QStringLiteral("in/tone.wav: skipped\n"))), round == 2) << r.out.toStdString();
        EXPECT_EQ(QDir(file(QStringLiteral("out")))
                      .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name),
                  QStringList({"empty.wav", "folder.wav", "link.wav", "tone.wav"}))
            << round;
        EXPECT_EQ(QFileInfo(file(QStringLiteral("out/empty.wav"))).size(), 0) << round;
    }
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
