// Where an installed program keeps its settings, files named on the command line, and a second start
// handing its files to the running window.
#include "TestSupport.h"
#include "app/ProgramStart.h"
#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "settings/ProgramPlace.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

TEST(ProgramPlace, APortableFolderKeepsEverythingBesideTheExecutable)
{
    QTemporaryDir program;
    const ProgramPlace::Places p = ProgramPlace::For(program.path(), {QStringLiteral("/usr/lib/veltra-wma-converter")});
    EXPECT_FALSE(p.installed);
    EXPECT_EQ(p.settingsFolder, program.path());
    EXPECT_EQ(p.defaultOutputFolder, program.path() + QStringLiteral("/output"));
    EXPECT_TRUE(QDir(program.path()).isEmpty()) << "telling whether it can write there leaves nothing";
}

TEST(ProgramPlace, AnInstalledOrUnwritableFolderKeepsSettingsInTheUsersConfigurationFolder)
{
    QTemporaryDir home;
    ScopedEnv homeVar("HOME", home.path().toUtf8());
    ScopedEnv config("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/cfg")).toUtf8());
    QTemporaryDir program;
    // Installed: the folder is an install destination, however it is reached.
    QFile::link(program.path(), home.path() + QStringLiteral("/link"));
    ProgramPlace::Places p = ProgramPlace::For(home.path() + QStringLiteral("/link"), {program.path()});
    EXPECT_TRUE(p.installed);
    EXPECT_EQ(p.settingsFolder, home.path() + QStringLiteral("/cfg/veltra-wma-converter"));
    // No music folder: the home folder takes the output.
    EXPECT_EQ(p.defaultOutputFolder, home.path() + QStringLiteral("/Veltra WMA Converter"));
    QDir(home.path()).mkdir(QStringLiteral("Music"));
    p = ProgramPlace::For(program.path(), {program.path()});
    EXPECT_EQ(p.defaultOutputFolder, home.path() + QStringLiteral("/Music/Veltra WMA Converter"));
    // A folder nobody can write, not even root.
    EXPECT_FALSE(ProgramPlace::CanWriteIn(QStringLiteral("/proc")));
    EXPECT_TRUE(ProgramPlace::For(QStringLiteral("/proc"), {}).installed);
}

TEST(ProgramPlace, AnInstalledProgramKeepsSettingsInAFolderItCreatesAndMakesEveryLevelOfItsOutputFolder)
{
    QTemporaryDir home;
    ScopedEnv homeVar("HOME", home.path().toUtf8());
    ScopedEnv config("XDG_CONFIG_HOME", (home.path() + QStringLiteral("/deep/cfg")).toUtf8());
    frmMain window(QStringLiteral("/proc")); // a program folder that cannot be written
    ASSERT_TRUE(window.places().installed);
    EXPECT_EQ(window.ui().txtPath->text(), home.path() + QStringLiteral("/Veltra WMA Converter"));
    window.ui().cmbBR->setCurrentIndex(10);
    window.SaveSetup();
    EXPECT_TRUE(QFile::exists(home.path() + QStringLiteral("/deep/cfg/veltra-wma-converter/setup.ini")));
    frmMain again(QStringLiteral("/proc"));
    EXPECT_EQ(again.ui().cmbBR->currentIndex(), 10) << "read back from the configuration folder";

    // The default output folder lies in a music folder that may not exist yet: every level is made.
    MsgBoxRecorder boxes;
    OpenedUrls opened;
    const QString nested = home.path() + QStringLiteral("/Music/Veltra WMA Converter");
    window.ui().txtPath->setText(nested);
    window.ui().lstFile->append(home.path() + QStringLiteral("/a.wav"));
    QSignalSpy finished(&window, &frmMain::batchFinished);
    window.imgConvert_Click();
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(QFileInfo(nested).isDir());
}

TEST(CommandLine, PathsAreMadeAbsoluteAndFilesAndFoldersJoinTheList)
{
    EXPECT_EQ(ProgramStart::PathsFrom({"a.wav", "/m/b.flac", "file:///m/c%20d.mp3", "sub/../e.ogg", ""}, "/home/u"),
              (QStringList{"/home/u/a.wav", "/m/b.flac", "/m/c d.mp3", "/home/u/e.ogg"}));
    QTemporaryDir dir;
    QDir(dir.path()).mkpath(QStringLiteral("album"));
    for (const char* f : {"album/02.wav", "album/01.wav", "single.mp3"})
        QFile(dir.filePath(QString::fromLatin1(f))).open(QIODevice::WriteOnly);
    frmMain window(dir.path());
    window.AddPaths({dir.filePath(QStringLiteral("single.mp3")), dir.filePath(QStringLiteral("album")),
                     dir.filePath(QStringLiteral("missing.wav"))});
    EXPECT_EQ(
        window.ui().lstFile->paths(),
        (QList<QString>{dir.filePath(QStringLiteral("single.mp3")), dir.filePath(QStringLiteral("album/01.wav")),
                        dir.filePath(QStringLiteral("album/02.wav")), dir.filePath(QStringLiteral("missing.wav"))}));
    EXPECT_TRUE(window.ui().picText->isHidden());
}

TEST(CommandLine, HandOverMessagesSurviveEveryCharacterButNul)
{
    const QStringList paths = {"/m/a b.wav", "/m/new\nline.mp3", QString::fromUtf8("/m/é.flac")};
    const QByteArray message = SingleInstance::Encode(paths);
    EXPECT_EQ(SingleInstance::Decode(message), paths);
    EXPECT_EQ(SingleInstance::Decode(message.chopped(1)), std::nullopt) << "incomplete";
    EXPECT_EQ(SingleInstance::Decode(QByteArray(1, '\0')), QStringList{});
}

// Two real starts of the program, each with its own runtime folder so tests never meet.
class SecondStart : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
        QDir(work.path()).mkpath(QStringLiteral("program"));
        for (const char* f : {"one.wav", "two.wav", "three.wav"})
            QFile(work.filePath(QString::fromLatin1(f))).open(QIODevice::WriteOnly);
    }
    void TearDown() override
    {
        for (QProcess* p : {&first, &second}) {
            p->kill();
            p->waitForFinished(5000);
        }
    }
    QProcessEnvironment env(const QString& listName) const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        e.insert(QStringLiteral("VELTRA_HELPER_LIST"), work.filePath(listName));
        return e;
    }
    void start(QProcess& p, const QString& listName, const QStringList& files)
    {
        p.setProcessEnvironment(env(listName));
        p.setWorkingDirectory(work.path());
        p.start(QStringLiteral(VELTRA_INSTANCE_HELPER), QStringList{work.filePath(QStringLiteral("program"))} + files);
    }
    QStringList listed(const QString& listName) const
    {
        QFile f(work.filePath(listName));
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    bool eventuallyListed(const QString& listName, const QStringList& expected, int ms = 10000) const
    {
        return QTest::qWaitFor([&] { return listed(listName) == expected; }, ms);
    }

    QTemporaryDir runtime;
    QTemporaryDir work;
    QProcess first;
    QProcess second;
};

TEST_F(SecondStart, ItHandsItsFilesToTheRunningWindowAndEnds)
{
    start(first, QStringLiteral("first.txt"), {QStringLiteral("one.wav")});
    ASSERT_TRUE(eventuallyListed(QStringLiteral("first.txt"), {work.filePath(QStringLiteral("one.wav"))}));
    QElapsedTimer t;
    t.start();
    start(second, QStringLiteral("second.txt"), {QStringLiteral("two.wav"), QStringLiteral("three.wav")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_LT(t.elapsed(), 5000);
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("second.txt")))) << "the second start made no window";
    EXPECT_TRUE(eventuallyListed(QStringLiteral("first.txt"),
                                 {work.filePath(QStringLiteral("one.wav")), work.filePath(QStringLiteral("two.wav")),
                                  work.filePath(QStringLiteral("three.wav"))}));
    EXPECT_EQ(first.state(), QProcess::Running);
}

TEST_F(SecondStart, AStaleSocketAndASecondStartRacingTheFirstLoseNoFile)
{
    // A socket left behind by an instance that was killed.
    {
        ScopedEnv runtimeVar("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        const QByteArray path = QFile::encodeName(SingleInstance::SocketPath(QStringLiteral(VELTRA_INSTANCE_HELPER)));
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, path.constData(), sizeof addr.sun_path);
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
        ::close(fd);
        ASSERT_TRUE(QFile::exists(QFile::decodeName(path)));
    }
    start(first, QStringLiteral("first.txt"), {QStringLiteral("one.wav")});
    start(second, QStringLiteral("second.txt"), {QStringLiteral("two.wav")});
    // Either may win the lock; the other hands its file over and ends.
    QProcess* ended = nullptr;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            for (QProcess* p : {&first, &second}) {
                if (p->state() == QProcess::NotRunning)
                    ended = p;
            }
            return ended != nullptr;
        },
        10000));
    EXPECT_EQ(ended->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(ended->exitCode(), 0);
    EXPECT_EQ((ended == &first ? second : first).state(), QProcess::Running);
    // Whichever start won the lock, both files are in the one window.
    const QStringList both = {work.filePath(QStringLiteral("one.wav")), work.filePath(QStringLiteral("two.wav"))};
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            QStringList l = listed(QStringLiteral("first.txt")) + listed(QStringLiteral("second.txt"));
            l.sort();
            return l == both;
        },
        10000));
}

TEST_F(SecondStart, ALockThatCannotBeMadeDoesNotStopTheProgram)
{
    QFile notAFolder(work.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    QProcessEnvironment e = env(QStringLiteral("first.txt"));
    e.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    e.insert(QStringLiteral("TMPDIR"), notAFolder.fileName());
    first.setProcessEnvironment(e);
    first.setWorkingDirectory(work.path());
    first.start(QStringLiteral(VELTRA_INSTANCE_HELPER),
                {work.filePath(QStringLiteral("program")), QStringLiteral("one.wav")});
    EXPECT_TRUE(eventuallyListed(QStringLiteral("first.txt"), {work.filePath(QStringLiteral("one.wav"))}));
}

} // namespace
