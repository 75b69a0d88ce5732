// The desktop notice and the task bar progress on a session bus of the test's own: a dbus-daemon with a
// configuration of its own and no service folder, so nothing on it but what the test puts there. Its
// address is set before the application object, as the desktop sets it for the program. A notification
// service of the test's own captures Notify and answers with ActionInvoked; a listener catches the
// LauncherEntry signals. The same executable, started with --without-bus, is the program with no bus.
#include "app/DesktopNotice.h"
#include "app/TaskbarProgress.h"
#include "app/frmMain.h"
#include "filelist/FileQueue.h"
#include "ui/Sound.h"

#include <QAction>
#include <QApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QVariantMap>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr const char* kDesktopId = "example.veltrasoft.WmaConverter";
const char* g_self = nullptr;

// A dbus-daemon of the test's own for as long as it lives; DBUS_SESSION_BUS_ADDRESS names it.
class PrivateBus
{
public:
    PrivateBus()
    {
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile f(config);
        if (!f.open(QIODevice::WriteOnly))
            return;
        f.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\"\n"
                " \"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                "<busconfig>\n  <type>session</type>\n  <listen>unix:dir=" +
                QFile::encodeName(m_dir.path()) +
                "</listen>\n  <auth>EXTERNAL</auth>\n"
                "  <policy context=\"default\">\n    <allow send_destination=\"*\" eavesdrop=\"true\"/>\n"
                "    <allow eavesdrop=\"true\"/>\n    <allow own=\"*\"/>\n  </policy>\n</busconfig>\n");
        f.close();
        int address[2];
        if (::pipe2(address, O_CLOEXEC) != 0)
            return;
        const QByteArray configArg = "--config-file=" + QFile::encodeName(config);
        const char* argv[] = {"dbus-daemon", configArg.constData(), "--print-address=3",
                              "--nofork",    "--nosyslog",          nullptr};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, address[1], 3);
        const int rc = ::posix_spawnp(&m_pid, argv[0], &actions, nullptr, const_cast<char**>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(address[1]);
        if (rc != 0) {
            m_pid = -1;
            ::close(address[0]);
            return;
        }
        QByteArray line;
        char c;
        pollfd ready{address[0], POLLIN, 0};
        while (!line.endsWith('\n') && ::poll(&ready, 1, 30000) > 0 && ::read(address[0], &c, 1) == 1)
            line += c;
        ::close(address[0]);
        m_address = line.trimmed();
        if (!m_address.isEmpty())
            qputenv("DBUS_SESSION_BUS_ADDRESS", m_address);
    }
    ~PrivateBus()
    {
        if (m_pid > 0) {
            ::kill(m_pid, SIGTERM);
            int status = 0;
            ::waitpid(m_pid, &status, 0);
        }
    }
    const QByteArray& address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    pid_t m_pid = -1;
    QByteArray m_address;
};

// Another connection to the test's bus, as another program on the desktop would have one.
class Peer
{
public:
    explicit Peer(const QString& name)
        : m_name(name),
          m_bus(QDBusConnection::connectToBus(QString::fromUtf8(qgetenv("DBUS_SESSION_BUS_ADDRESS")), name))
    {}
    ~Peer() { QDBusConnection::disconnectFromBus(m_name); }
    QDBusConnection& bus() { return m_bus; }

private:
    QString m_name;
    QDBusConnection m_bus;
};

} // namespace

// The notification service a desktop would run, as far as the program uses it.
class FakeNotifications : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    struct Notice
    {
        QString app;
        QString icon;
        QString summary;
        QString body;
        QStringList actions;
        QVariantMap hints;
        int timeout = 0;
    };
    QStringList capabilities;
    QList<Notice> notices;

    // On a connection of its own, under the service's name; false when the bus refused.
    bool registerOn(QDBusConnection& bus)
    {
        return bus.registerObject(QLatin1String(DesktopNotice::kPath), this, QDBusConnection::ExportAllSlots) &&
               bus.registerService(QLatin1String(DesktopNotice::kService));
    }

public slots:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString& app, uint, const QString& icon, const QString& summary, const QString& body,
                const QStringList& actions, const QVariantMap& hints, int timeout)
    {
        notices.append({app, icon, summary, body, actions, hints, timeout});
        return uint(100 + notices.size());
    }
    void CloseNotification(uint) {}
};

// Every LauncherEntry Update, or every ActionInvoked, on the bus.
class UpdateCatcher : public QObject
{
    Q_OBJECT
public:
    struct Update
    {
        QString uri;
        QVariantMap properties;
    };
    QList<Update> updates;
    int actions = 0;
    QList<QUrl> opened;

public slots:
    void open(const QUrl& url) { opened.append(url); }
    void update(const QString& uri, const QVariantMap& properties) { updates.append({uri, properties}); }
    void action(uint, const QString&) { ++actions; }
};

namespace {

QDBusMessage actionInvoked(uint id, const QString& action)
{
    QDBusMessage m = QDBusMessage::createSignal(
        QLatin1String(DesktopNotice::kPath), QLatin1String(DesktopNotice::kInterface), QStringLiteral("ActionInvoked"));
    m << id << action;
    return m;
}

TEST(DesktopNoticeOnBus, TheNoticeNamesTheProgramAndOnlyOurOwnActionOpensTheFolder)
{
    Peer service(QStringLiteral("notifications"));
    FakeNotifications fake;
    fake.capabilities = {QStringLiteral("body"), QStringLiteral("actions")};
    ASSERT_TRUE(fake.registerOn(service.bus()));
    DesktopNotice notice;
    QSignalSpy finished(&notice, &DesktopNotice::finished);
    QSignalSpy opened(&notice, &DesktopNotice::openFolder);
    notice.Show({12, 1, 3, 2, false, QStringLiteral("/music/out")});
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.at(0).at(0).toBool());
    ASSERT_EQ(fake.notices.size(), 1);
    const FakeNotifications::Notice& n = fake.notices[0];
    EXPECT_EQ(n.app, QStringLiteral("Veltra WMA Converter"));
    EXPECT_EQ(n.icon, QLatin1String(kDesktopId));
    EXPECT_EQ(n.hints.value(QStringLiteral("desktop-entry")).toString(), QLatin1String(kDesktopId));
    EXPECT_EQ(n.summary, QStringLiteral("Conversion finished"));
    EXPECT_EQ(n.body, QStringLiteral("12 files converted, 1 failed, 3 skipped, 2 folders not searched"));
    EXPECT_EQ(n.actions, QStringList({QStringLiteral("open-folder"), QStringLiteral("Open folder")}));

    // Another program's notice, another action, and our id sent by somebody who is not the service: none
    // of them opens anything. A listener on the program's own connection sees every one; once it has, the
    // notice has been handed each of them too.
    UpdateCatcher seen;
    ASSERT_TRUE(QDBusConnection::sessionBus().connect(QString(), QString(), QLatin1String(DesktopNotice::kInterface),
                                                      QStringLiteral("ActionInvoked"), &seen,
                                                      SLOT(action(uint, QString))));
    Peer stranger(QStringLiteral("stranger"));
    ASSERT_TRUE(stranger.bus().send(actionInvoked(101, QStringLiteral("open-folder"))));
    ASSERT_TRUE(service.bus().send(actionInvoked(7, QStringLiteral("open-folder"))));
    ASSERT_TRUE(service.bus().send(actionInvoked(101, QStringLiteral("default"))));
    ASSERT_TRUE(QTest::qWaitFor([&] { return seen.actions == 3; }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(opened.count(), 0);
    ASSERT_TRUE(service.bus().send(actionInvoked(101, QStringLiteral("open-folder"))));
    ASSERT_TRUE(opened.wait(10000));
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).toString(), QStringLiteral("/music/out"));
}

TEST(DesktopNoticeOnBus, NoActionIsOfferedWhereTheServiceShowsNoneOrThereIsNoFolder)
{
    Peer service(QStringLiteral("notifications-plain"));
    FakeNotifications fake;
    fake.capabilities = {QStringLiteral("body")};
    ASSERT_TRUE(fake.registerOn(service.bus()));
    DesktopNotice notice;
    QSignalSpy finished(&notice, &DesktopNotice::finished);
    notice.Show({1, 0, 0, 0, true, QStringLiteral("/music/out")});
    ASSERT_TRUE(finished.wait(10000));
    fake.capabilities.append(QStringLiteral("actions"));
    notice.Show({0, 2, 0, 0, false, QString()});
    ASSERT_TRUE(finished.wait(10000));
    ASSERT_EQ(fake.notices.size(), 2);
    EXPECT_TRUE(fake.notices[0].actions.isEmpty());
    EXPECT_EQ(fake.notices[0].summary, QStringLiteral("Conversion stopped"));
    EXPECT_EQ(fake.notices[0].body, QStringLiteral("1 file converted"));
    EXPECT_TRUE(fake.notices[1].actions.isEmpty()) << "no folder to open";
    EXPECT_EQ(fake.notices[1].body, QStringLiteral("0 files converted, 2 failed"));
    EXPECT_EQ(fake.notices[1].hints.value(QStringLiteral("category")).toString(), QStringLiteral("transfer.error"));
}

TEST(DesktopNoticeOnBus, WithNoServiceNothingIsShownUntilOneAppears)
{
    DesktopNotice notice;
    QSignalSpy finished(&notice, &DesktopNotice::finished);
    notice.Show({3, 0, 0, 0, false, QStringLiteral("/music/out")});
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_FALSE(finished.at(0).at(0).toBool());

    Peer service(QStringLiteral("notifications-late"));
    FakeNotifications fake;
    fake.capabilities = {QStringLiteral("actions")};
    ASSERT_TRUE(fake.registerOn(service.bus()));
    notice.Show({3, 0, 0, 0, false, QStringLiteral("/music/out")});
    ASSERT_TRUE(finished.wait(10000));
    EXPECT_TRUE(finished.at(1).at(0).toBool());
    EXPECT_EQ(fake.notices.size(), 1);
}

TEST(TaskbarProgressOnBus, TheEntryGetsWholePercentsAndIsClearedAtTheEnd)
{
    Peer listener(QStringLiteral("dock"));
    UpdateCatcher catcher;
    ASSERT_TRUE(listener.bus().connect(QString(), QString(), QLatin1String(TaskbarProgress::kInterface),
                                       QStringLiteral("Update"), &catcher, SLOT(update(QString, QVariantMap))));
    {
        TaskbarProgress bar;
        bar.setProgress(0.0);
        bar.setProgress(0.004); // the same whole percent: not sent again
        bar.setProgress(0.5);
        bar.setProgress(1.5);
        bar.clear();
        bar.clear(); // nothing shown: nothing to take away
        bar.setProgress(0.25);
    } // a bar still shown is taken away when its owner goes
    // From one sender, in order: the last, the second clearing, says all have come.
    const auto clears = [&] {
        return std::count_if(catcher.updates.cbegin(), catcher.updates.cend(), [](const UpdateCatcher::Update& u) {
            return !u.properties.value(QStringLiteral("progress-visible")).toBool();
        });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return clears() == 2; }, 10000));
    ASSERT_EQ(catcher.updates.size(), 6);
    const struct
    {
        double progress;
        bool visible;
    } expected[] = {{0.0, true}, {0.5, true}, {1.0, true}, {0.0, false}, {0.25, true}, {0.0, false}};
    for (int i = 0; i < 6; ++i) {
        const UpdateCatcher::Update& u = catcher.updates[i];
        EXPECT_EQ(u.uri, QStringLiteral("application://example.veltrasoft.WmaConverter.desktop"));
        EXPECT_EQ(u.properties.value(QStringLiteral("progress-visible")).toBool(), expected[i].visible) << i;
        if (expected[i].visible) {
            EXPECT_DOUBLE_EQ(u.properties.value(QStringLiteral("progress")).toDouble(), expected[i].progress) << i;
        }
    }
}

TEST(DesktopAtABatchEnd, AWindowNotLookedAtGetsTheNoticeWhoseActionOpensTheFolderAndTheEntryIsCleared)
{
    Peer service(QStringLiteral("notices"));
    FakeNotifications fake;
    fake.capabilities = {QStringLiteral("actions"), QStringLiteral("body")};
    ASSERT_TRUE(fake.registerOn(service.bus()));
    Peer listener(QStringLiteral("dock"));
    UpdateCatcher catcher;
    ASSERT_TRUE(listener.bus().connect(QString(), QString(), QLatin1String(TaskbarProgress::kInterface),
                                       QStringLiteral("Update"), &catcher, SLOT(update(QString, QVariantMap))));
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    Sound::setPlayer([](const QString&) {});
    QTemporaryDir program;
    ASSERT_TRUE(QDir(program.path()).mkpath(QStringLiteral("data")));
    ASSERT_TRUE(QFile::link(QStringLiteral(VELTRA_FAKE_TOOL), program.filePath(QStringLiteral("data/conv.exe"))));
    qputenv("FAKE_TOOL_OPS", "out:  Duration: 00:00:10.00, start\\n;out:size= 1kB time=00:00:05.00 bitrate\\r;touch");
    const QString out = program.filePath(QStringLiteral("out"));

    for (const bool lookedAt : {false, true}) {
        SCOPED_TRACE(lookedAt ? "the active window" : "a window not looked at");
        catcher.updates.clear();
        fake.notices.clear();
        frmMain window(program.path());
        window.ui().txtPath->setText(out);
        window.options().FilesAtOnce = 1;
        if (lookedAt) {
            window.show();
            window.activateWindow();
            ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        }
        window.ui().lstFile->append(program.filePath(lookedAt ? QStringLiteral("b.wav") : QStringLiteral("a.wav")));
        QSignalSpy finished(&window, &frmMain::batchFinished);
        window.commands()->action(MainCommands::Convert)->trigger();
        ASSERT_TRUE(finished.wait(30000));
        ASSERT_EQ(window.lastBatch().converted(), 1);
        // The entry is cleared after the notice is sent, on the same connection: once the clearing has
        // come, so has the notice, if there was one.
        const auto cleared = [&] {
            return !catcher.updates.isEmpty() &&
                   !catcher.updates.last().properties.value(QStringLiteral("progress-visible")).toBool();
        };
        ASSERT_TRUE(QTest::qWaitFor(cleared, 10000));
        EXPECT_TRUE(std::any_of(catcher.updates.cbegin(), catcher.updates.cend(), [](const UpdateCatcher::Update& u) {
            const double progress = u.properties.value(QStringLiteral("progress")).toDouble();
            return u.properties.value(QStringLiteral("progress-visible")).toBool() && progress > 0.4 && progress < 0.6;
        })) << "the bar followed the batch";
        if (lookedAt) {
            QTest::qWait(100);
            EXPECT_TRUE(fake.notices.isEmpty()) << "the window itself shows the end";
            continue;
        }
        ASSERT_TRUE(QTest::qWaitFor([&] { return fake.notices.size() == 1; }, 10000));
        EXPECT_EQ(fake.notices[0].summary, DesktopNotice::Summary({1, 0, 0, 0, false, out}));
        EXPECT_TRUE(fake.notices[0].body.contains(QStringLiteral("1 file converted")))
            << fake.notices[0].body.toStdString();
        ASSERT_TRUE(fake.notices[0].actions.contains(QLatin1String(DesktopNotice::kOpenFolderAction)));
        catcher.opened.clear();
        service.bus().send(actionInvoked(101, QLatin1String(DesktopNotice::kOpenFolderAction)));
        ASSERT_TRUE(QTest::qWaitFor([&] { return !catcher.opened.isEmpty(); }, 10000));
        EXPECT_EQ(QDir::cleanPath(catcher.opened.last().toLocalFile()), out);
    }
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    Sound::setPlayer({});
    qunsetenv("FAKE_TOOL_OPS");
}

TEST(DesktopWithoutBus, NoBusAtAllBreaksNothing)
{
    QTemporaryDir runtime; // an empty runtime folder: no bus socket to find there either
    const struct
    {
        const char* what;
        QByteArray address; // empty: no variable at all
    } cases[] = {{"no session bus variable", {}},
                 {"a bus that has gone", "unix:path=" + QFile::encodeName(runtime.filePath(QStringLiteral("gone")))}};
    for (const auto& c : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DBUS_SESSION_BUS_ADDRESS", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QLatin1String(name));
        if (!c.address.isEmpty())
            env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QString::fromUtf8(c.address));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QFile::decodeName(g_self), {QStringLiteral("--without-bus")});
        ASSERT_TRUE(p.waitForFinished(60000)) << c.what;
        const QByteArray said = p.readAll();
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit) << c.what;
        EXPECT_EQ(p.exitCode(), 0) << c.what << ": " << said.toStdString();
        EXPECT_TRUE(said.contains("nothing sent, nothing broken")) << c.what << ": " << said.toStdString();
    }
}

// The program's pieces where no bus can be reached: Show answers "not shown" at once, the bar sends
// nothing, and nothing waits.
int runWithoutBus(int argc, char** argv)
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("Veltra WMA Converter"));
    QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
    if (QDBusConnection::sessionBus().isConnected()) {
        std::puts("a session bus was found");
        return 2;
    }
    DesktopNotice notice;
    bool answered = false;
    bool shown = true;
    QObject::connect(&notice, &DesktopNotice::finished, [&](bool s) {
        answered = true;
        shown = s;
    });
    notice.Show({5, 1, 0, 0, false, QStringLiteral("/music/out")});
    TaskbarProgress bar;
    bar.setProgress(0.5);
    bar.clear();
    if (!QTest::qWaitFor([&] { return answered; }, 10000) || shown) {
        std::puts("the notice was not answered as not shown");
        return 3;
    }
    std::puts("nothing sent, nothing broken");
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    g_self = argv[0];
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (argc > 1 && std::strcmp(argv[1], "--without-bus") == 0)
        return runWithoutBus(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<PrivateBus> bus;
    if (!GTEST_FLAG_GET(list_tests)) {
        bus = std::make_unique<PrivateBus>();
        if (bus->address().isEmpty()) {
            std::fprintf(stderr, "could not start a dbus-daemon of the test's own (Debian's dbus-daemon)\n");
            return 1;
        }
    }
    int status;
    {
        QApplication app(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Veltra WMA Converter"));
        QGuiApplication::setDesktopFileName(QLatin1String(kDesktopId));
        status = RUN_ALL_TESTS();
    }
    return status;
}

#include "DesktopBusTest.moc"
