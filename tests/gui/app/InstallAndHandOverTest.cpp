// Where an installed program keeps its settings, files named on the command line, and a second start
// handing its files to the running window.
#include "TestSupport.h"
#include "app/InstanceServer.h"
#include "app/ProgramStart.h"
#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "filelist/PathBytes.h"
#include "settings/ProgramPlace.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
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
    window.seams().endProcess = [] {};
    ASSERT_TRUE(trigger(&window, "actionExit")); // saves the setup
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
    ASSERT_TRUE(trigger(&window, "actionConvert"));
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(QFileInfo(nested).isDir());
}

TEST(CommandLine, PathsAreMadeAbsoluteAndFilesAndFoldersJoinTheList)
{
    const QString bytesFolder = PathBytes::Decode("/home/\xfe");
    EXPECT_EQ(ProgramStart::PathsFrom({PathBytes::Decode("bad\xff.wav"), "file:///m/bad%FF.wav"}, bytesFolder),
              (QStringList{PathBytes::Decode("/home/\xfe/bad\xff.wav"), PathBytes::Decode("/m/bad\xff.wav")}));
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
    const QStringList paths = {"/m/a b.wav", "/m/new\nline.mp3", QString::fromUtf8("/m/é.flac"),
                               PathBytes::Decode("/m/bad\xff.wav"), PathBytes::Decode("/m/bad\xef\xbf\xbd.wav")};
    const QByteArray message = SingleInstance::Encode(paths);
    EXPECT_TRUE(message.contains("/m/bad\xff.wav")) << "the name's own bytes travel";
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
    start(second, QStringLiteral("second.txt"), {QStringLiteral("two.wav"), QStringLiteral("three.wav")});
    ASSERT_TRUE(second.waitForFinished(30000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("second.txt")))) << "the second start made no window";
    EXPECT_TRUE(eventuallyListed(QStringLiteral("first.txt"),
                                 {work.filePath(QStringLiteral("one.wav")), work.filePath(QStringLiteral("two.wav")),
                                  work.filePath(QStringLiteral("three.wav"))}));
    EXPECT_EQ(first.state(), QProcess::Running);

    // A plain second start reaches the window too (to bring it forward) and adds nothing.
    QProcess plain;
    plain.setProcessEnvironment(env(QStringLiteral("plain.txt")));
    plain.start(QStringLiteral(VELTRA_INSTANCE_HELPER), {work.filePath(QStringLiteral("program"))});
    ASSERT_TRUE(plain.waitForFinished(10000));
    EXPECT_EQ(plain.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(work.filePath(QStringLiteral("plain.txt"))));

    // Leaving takes the socket and the lock along.
    ScopedEnv runtimeVar("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    const QString socket = SingleInstance::SocketPath(QStringLiteral(VELTRA_INSTANCE_HELPER));
    ASSERT_TRUE(QFile::exists(socket));
    ::kill(pid_t(first.processId()), SIGTERM);
    ASSERT_TRUE(first.waitForFinished(10000));
    EXPECT_EQ(first.exitCode(), 0);
    EXPECT_FALSE(QFile::exists(socket));
    EXPECT_FALSE(QFile::exists(SingleInstance::LockPath(QStringLiteral(VELTRA_INSTANCE_HELPER))));
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

TEST_F(SecondStart, AStartThatCannotReachTheRunningWindowOpensItsOwnInsteadOfEndingInSilence)
{
    start(first, QStringLiteral("first.txt"), {QStringLiteral("one.wav")});
    ASSERT_TRUE(eventuallyListed(QStringLiteral("first.txt"), {work.filePath(QStringLiteral("one.wav"))}));
    // Still holding its lock, but hung: it takes the connection and never answers.
    ::kill(pid_t(first.processId()), SIGSTOP);
    start(second, QStringLiteral("second.txt"), {QStringLiteral("two.wav")});
    EXPECT_TRUE(eventuallyListed(QStringLiteral("second.txt"), {work.filePath(QStringLiteral("two.wav"))}, 20000));
    EXPECT_EQ(second.state(), QProcess::Running);
    ::kill(pid_t(first.processId()), SIGCONT);
}

TEST_F(SecondStart, ALockThatCannotBeMadeDoesNotStopTheProgram)
{
    QFile notAFolder(work.filePath(QStringLiteral("not-a-folder")));
    ASSERT_TRUE(notAFolder.open(QIODevice::WriteOnly));
    QProcessEnvironment e = env(QStringLiteral("first.txt"));
    e.remove(QStringLiteral("XDG_RUNTIME_DIR"));
    // No folder anywhere: not the temp folder, not the home folder's cache.
    e.insert(QStringLiteral("TMPDIR"), notAFolder.fileName());
    e.insert(QStringLiteral("HOME"), notAFolder.fileName());
    e.remove(QStringLiteral("XDG_CACHE_HOME"));
    first.setProcessEnvironment(e);
    first.setWorkingDirectory(work.path());
    first.start(QStringLiteral(VELTRA_INSTANCE_HELPER),
                {work.filePath(QStringLiteral("program")), QStringLiteral("one.wav")});
    EXPECT_TRUE(eventuallyListed(QStringLiteral("first.txt"), {work.filePath(QStringLiteral("one.wav"))}));
}

uid_t nobodyUid()
{
    const passwd* nobody = ::getpwnam("nobody");
    return nobody ? nobody->pw_uid : 65534;
}

// In a child process: becomes the user nobody, or ends with status 90.
void becomeNobody()
{
    const passwd* nobody = ::getpwnam("nobody");
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(nobodyUid()) != 0)
        ::_exit(90);
}

// Runs body in a child process as the user nobody; the child ends when body returns.
pid_t asStranger(const std::function<int()>& body)
{
    const pid_t pid = ::fork();
    if (pid == 0) {
        becomeNobody();
        ::_exit(body());
    }
    return pid;
}

// A socket listening at path, made by whoever calls it; -1 on failure.
int listenAt(const QByteArray& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    qstrncpy(addr.sun_path, path.constData(), sizeof addr.sun_path);
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 8) != 0)
        return -1;
    ::chmod(path.constData(), 0777);
    return fd;
}

bool isRoot()
{
    return ::geteuid() == 0;
}

// What another program's running copy keeps: each lock written and held as Qt holds its own, naming this
// process, and a socket listening at each socket path. It says "R" on report when all are in place, then
// sends back a "C" for each connection and whatever the connection sends, and never returns on its own
// once ready; else it returns a status that says what failed.
int holdLocksAndListen(const QList<QByteArray>& locks, const QList<QByteArray>& sockets, int report)
{
    for (const QByteArray& lock : locks) {
        const int fd = ::open(lock.constData(), O_CREAT | O_WRONLY, 0666);
        const QByteArray info = QByteArray::number(::getpid()) + "\ninstance_helper\n\n";
        if (fd < 0 || ::write(fd, info.constData(), size_t(info.size())) < 0 || ::flock(fd, LOCK_EX) != 0)
            return 3;
    }
    std::vector<pollfd> listening;
    for (const QByteArray& socket : sockets) {
        const int fd = listenAt(socket);
        if (fd < 0)
            return 4;
        listening.push_back({fd, POLLIN, 0});
    }
    if (::write(report, "R", 1) != 1)
        return 5;
    for (;;) {
        if (::poll(listening.data(), listening.size(), -1) <= 0)
            continue;
        for (pollfd& p : listening) {
            if (!(p.revents & POLLIN))
                continue;
            const int c = ::accept(p.fd, nullptr, nullptr);
            [[maybe_unused]] ssize_t n = ::write(report, "C", 1);
            n = ::write(c, "ok\n", 3);
            char buffer[4096];
            pollfd in{c, POLLIN, 0};
            while (::poll(&in, 1, 1000) > 0 && (n = ::read(c, buffer, sizeof buffer)) > 0)
                n = ::write(report, buffer, size_t(n));
            ::close(c);
        }
    }
}

TEST(PrivateHandOver, OnlyAFolderOfTheUsersOwnThatNoOneElseMayEnterIsUsed)
{
    QTemporaryDir dir;
    const QString mine = dir.filePath(QStringLiteral("mine"));
    QDir().mkpath(mine);
    ::chmod(QFile::encodeName(mine).constData(), 0700);
    EXPECT_TRUE(SingleInstance::IsPrivateFolder(mine));
    QFile::link(mine, dir.filePath(QStringLiteral("link")));
    EXPECT_FALSE(SingleInstance::IsPrivateFolder(dir.filePath(QStringLiteral("link"))))
        << "a link is not looked through";
    ::chmod(QFile::encodeName(mine).constData(), 0755);
    EXPECT_FALSE(SingleInstance::IsPrivateFolder(mine));
    ::chmod(QFile::encodeName(mine).constData(), 0700);
    if (isRoot()) {
        ASSERT_EQ(::chown(QFile::encodeName(mine).constData(), 65534, 65534), 0);
        EXPECT_FALSE(SingleInstance::IsPrivateFolder(mine)) << "another user's";
    }

    // $XDG_RUNTIME_DIR, when private and short enough; else the cache folder, made private.
    ScopedEnv cache("XDG_CACHE_HOME", dir.filePath(QStringLiteral("cache")).toUtf8());
    ScopedEnv shared("TMPDIR", QByteArray("/nonexistent"));
    const QString runtime = dir.filePath(QStringLiteral("run"));
    QDir().mkpath(runtime);
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    {
        ScopedEnv xdg("XDG_RUNTIME_DIR", runtime.toUtf8());
        EXPECT_EQ(SingleInstance::RuntimeFolder(), runtime);
    }
    const QString deep = runtime + QLatin1Char('/') + QString(70, QLatin1Char('d'));
    QDir().mkpath(deep);
    ::chmod(QFile::encodeName(deep).constData(), 0700);
    const QString open = dir.filePath(QStringLiteral("open"));
    QDir().mkpath(open);
    ::chmod(QFile::encodeName(open).constData(), 0777);
    for (const QString& unusable : {dir.filePath(QStringLiteral("link")), open, deep}) {
        ScopedEnv xdg("XDG_RUNTIME_DIR", unusable.toUtf8());
        EXPECT_EQ(SingleInstance::RuntimeFolder(), dir.filePath(QStringLiteral("cache/veltra-wma-converter")));
    }
    ScopedEnv xdg("XDG_RUNTIME_DIR", deep.toUtf8());
    EXPECT_TRUE(SingleInstance::IsPrivateFolder(dir.filePath(QStringLiteral("cache/veltra-wma-converter"))));
    const QString socket = SingleInstance::SocketPath(QStringLiteral(VELTRA_INSTANCE_HELPER));
    EXPECT_LT(QFile::encodeName(socket).size(), 108);
    EXPECT_TRUE(socket.startsWith(QLatin1Char('/'))) << "a file, not a name in the abstract namespace";
}

TEST(PrivateHandOver, TheServerTakesPathsFromItsUserOnlyAndAPlainStartStillReachesIt)
{
    if (!isRoot())
        GTEST_SKIP() << "needs root to act as another user";
    QTemporaryDir dir;
    ::chmod(QFile::encodeName(dir.path()).constData(), 0777); // so the stranger can reach the socket
    const QString path = dir.filePath(QStringLiteral("s.sock"));
    InstanceServer server;
    ASSERT_TRUE(server.Listen(path));
    ::chmod(QFile::encodeName(path).constData(), 0777);
    QSignalSpy received(&server, &InstanceServer::pathsReceived);

    const QByteArray native = QFile::encodeName(path);
    const pid_t stranger = asStranger([&native] {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        qstrncpy(addr.sun_path, native.constData(), sizeof addr.sun_path);
        if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0)
            return 2;
        const char message[] = "/m/planted.wav\0";
        if (::write(fd, message, sizeof message) < 0)
            return 0;
        char answer[8] = {};
        return ::read(fd, answer, sizeof answer) > 0 && answer[0] == 'o' ? 1 : 0;
    });
    ASSERT_GT(stranger, 0);
    int status = 0;
    ASSERT_TRUE(QTest::qWaitFor([&] { return ::waitpid(stranger, &status, WNOHANG) == stranger; }, 10000));
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: the server answered a stranger, 2: could not connect, 90: no nobody";
    // The stranger saw its connection closed: whatever the server made of it has happened by then.
    EXPECT_EQ(received.count(), 0);

    // The user's own start with no files is heard: the window comes forward.
    bool handed = false;
    QThread* t = QThread::create([&] { handed = SingleInstance::HandOver(path, {}, 5000); });
    t->start();
    EXPECT_TRUE(QTest::qWaitFor([&] { return t->isFinished(); }, 10000));
    t->wait();
    delete t;
    EXPECT_TRUE(handed);
    ASSERT_EQ(received.count(), 1);
    EXPECT_EQ(received.first().first().toStringList(), QStringList{});

    server.Close();
    EXPECT_FALSE(QFile::exists(path));
}

TEST_F(SecondStart, AStrangersLockAndSocketInTheSharedTempFolderNeitherStopTheStartNorReceiveFiles)
{
    if (!isRoot())
        GTEST_SKIP() << "needs root to act as another user";
    QTemporaryDir shared, home;
    ::chmod(QFile::encodeName(shared.path()).constData(), 01777);
    QString lockName, socketName;
    {
        ScopedEnv runtimeVar("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        lockName = QFileInfo(SingleInstance::LockPath(QStringLiteral(VELTRA_INSTANCE_HELPER))).fileName();
        socketName = QFileInfo(SingleInstance::SocketPath(QStringLiteral(VELTRA_INSTANCE_HELPER))).fileName();
    }
    // Where Qt would put the runtime folder of this user, and the names older versions used beside it.
    const QString qtRuntime =
        shared.path() + QStringLiteral("/runtime-") + QString::fromLocal8Bit(::getpwuid(0)->pw_name);
    const QList<QByteArray> locks = {QFile::encodeName(qtRuntime + QLatin1Char('/') + lockName),
                                     QFile::encodeName(shared.path() + QStringLiteral("/uid0-") + lockName)};
    const QList<QByteArray> sockets = {QFile::encodeName(qtRuntime + QLatin1Char('/') + socketName),
                                       QFile::encodeName(shared.path() + QStringLiteral("/uid0-") + socketName)};
    const QByteArray runtimeFolder = QFile::encodeName(qtRuntime);
    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t stranger = asStranger([&] {
        ::close(report[0]);
        ::mkdir(runtimeFolder.constData(), 0777);
        ::chmod(runtimeFolder.constData(), 0777);
        return holdLocksAndListen(locks, sockets, report[1]);
    });
    ::close(report[1]);
    ASSERT_GT(stranger, 0);
    char ready = 0;
    ASSERT_EQ(::read(report[0], &ready, 1), 1);
    ASSERT_EQ(ready, 'R');

    const auto startHere = [&](QProcess& p, const QString& listName, const QStringList& files) {
        QProcessEnvironment e = env(listName);
        e.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        e.remove(QStringLiteral("XDG_CACHE_HOME"));
        e.insert(QStringLiteral("TMPDIR"), shared.path());
        e.insert(QStringLiteral("HOME"), home.path());
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(work.path());
        p.start(QStringLiteral(VELTRA_INSTANCE_HELPER), QStringList{work.filePath(QStringLiteral("program"))} + files);
    };
    startHere(first, QStringLiteral("first.txt"), {QStringLiteral("one.wav")});
    EXPECT_TRUE(eventuallyListed(QStringLiteral("first.txt"), {work.filePath(QStringLiteral("one.wav"))}))
        << "the start opened its window";
    const QString ownFolder = home.path() + QStringLiteral("/.cache/veltra-wma-converter");
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(ownFolder + QLatin1Char('/') + socketName); }, 10000));
    EXPECT_TRUE(SingleInstance::IsPrivateFolder(ownFolder));
    // A second start finds the window through the user's own folder.
    startHere(second, QStringLiteral("second.txt"), {QStringLiteral("two.wav")});
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(eventuallyListed(QStringLiteral("first.txt"),
                                 {work.filePath(QStringLiteral("one.wav")), work.filePath(QStringLiteral("two.wav"))}));

    ::kill(stranger, SIGKILL);
    ::waitpid(stranger, nullptr, 0);
    QByteArray heard;
    char buffer[4096];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
        heard.append(buffer, n);
    ::close(report[0]);
    EXPECT_EQ(heard, QByteArray()) << "the stranger was reached";
}

// A lock in the user's own folder that names a live process of another program (the name it writes
// there is ours, its executable is not), held as Qt holds its own, with a socket beside it. As an
// ordinary user (root can look into every process) the start takes that for nobody's claim on this
// program: it opens its own window with its files, hands nothing over and leaves the lock alone.
TEST(OtherProgramsLock, NeitherStopsTheStartNorReceivesItsFiles)
{
    QTemporaryDir area;
    ASSERT_TRUE(area.isValid());
    ::chmod(QFile::encodeName(area.path()).constData(), 0755);
    QString lockName, socketName;
    {
        QTemporaryDir mine;
        ::chmod(QFile::encodeName(mine.path()).constData(), 0700);
        ScopedEnv runtimeVar("XDG_RUNTIME_DIR", mine.path().toUtf8());
        lockName = QFileInfo(SingleInstance::LockPath(QStringLiteral(VELTRA_INSTANCE_HELPER))).fileName();
        socketName = QFileInfo(SingleInstance::SocketPath(QStringLiteral(VELTRA_INSTANCE_HELPER))).fileName();
    }
    ASSERT_FALSE(lockName.isEmpty());
    // The user's folders: the runtime folder private to them, the rest theirs to write.
    const QString runtime = area.filePath(QStringLiteral("run"));
    const QString home = area.filePath(QStringLiteral("home"));
    const QString work = area.filePath(QStringLiteral("work"));
    for (const QString& folder : {runtime, home, work}) {
        ASSERT_TRUE(QDir().mkpath(folder));
        if (isRoot()) {
            ASSERT_EQ(::chown(QFile::encodeName(folder).constData(), nobodyUid(), nobodyUid()), 0);
        }
    }
    ::chmod(QFile::encodeName(runtime).constData(), 0700);
    QFile(work + QStringLiteral("/one.wav")).open(QIODevice::WriteOnly);
    const QByteArray lock = QFile::encodeName(runtime + QLatin1Char('/') + lockName);
    const QByteArray socket = QFile::encodeName(runtime + QLatin1Char('/') + socketName);

    int report[2];
    ASSERT_EQ(::pipe(report), 0);
    const pid_t other = ::fork();
    if (other == 0) {
        ::close(report[0]);
        if (isRoot())
            becomeNobody();
        ::_exit(holdLocksAndListen({lock}, {socket}, report[1]));
    }
    ::close(report[1]);
    ASSERT_GT(other, 0);
    char ready = 0;
    ASSERT_EQ(::read(report[0], &ready, 1), 1);
    ASSERT_EQ(ready, 'R');

    QProcess start;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    e.insert(QStringLiteral("HOME"), home);
    e.remove(QStringLiteral("XDG_CACHE_HOME"));
    e.insert(QStringLiteral("VELTRA_HELPER_LIST"), work + QStringLiteral("/listed.txt"));
    start.setProcessEnvironment(e);
    start.setWorkingDirectory(work);
    if (isRoot())
        start.setChildProcessModifier([] { becomeNobody(); });
    start.start(QStringLiteral(VELTRA_INSTANCE_HELPER), {work, QStringLiteral("one.wav")});
    const QStringList expected = {work + QStringLiteral("/one.wav")};
    EXPECT_TRUE(QTest::qWaitFor([&] { return linesOf(work + QStringLiteral("/listed.txt")) == expected; }, 30000))
        << "the start opened no window of its own";
    EXPECT_EQ(start.state(), QProcess::Running);
    QFile held(QFile::decodeName(lock));
    ASSERT_TRUE(held.open(QIODevice::ReadOnly));
    EXPECT_TRUE(held.readAll().startsWith(QByteArray::number(other) + '\n')) << "the other program's lock was touched";

    start.kill();
    start.waitForFinished(30000);
    ::kill(other, SIGKILL);
    ::waitpid(other, nullptr, 0);
    QByteArray heard;
    char buffer[4096];
    for (ssize_t n; (n = ::read(report[0], buffer, sizeof buffer)) > 0;)
        heard.append(buffer, n);
    ::close(report[0]);
    EXPECT_EQ(heard, QByteArray()) << "the other program was reached";
}

} // namespace
