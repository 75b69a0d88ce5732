#include "TestSupport.h"
#include "app/SingleInstance.h"
#include "app/frmMain.h"
#include "settings/OptionsIni.h"
#include "settings/SetupIni.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <csignal>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

class Startup : public ::testing::Test
{
protected:
    std::unique_ptr<frmMain> start()
    {
        auto w = std::make_unique<frmMain>(dir.path());
        w->seams().endProcess = [this] { ++ended; };
        w->seams().scratchFiles = {dir.filePath(QStringLiteral("tmpfile.wav")),
                                   dir.filePath(QStringLiteral("tmpfile1.mp3"))};
        return w;
    }
    void writeSetup(const QByteArray& bytes) { writeFile(SetupIni::FilePath(dir.path()), bytes); }

    QTemporaryDir dir;
    int ended = 0;
};

TEST_F(Startup, FirstStartShowsTheDefaults)
{
    auto w = start();
    EXPECT_EQ(w->ui().cmbBR->currentText(), QStringLiteral("192"));
    EXPECT_EQ(w->ui().cmbR->currentText(), QStringLiteral("44100"));
    EXPECT_EQ(w->ui().cmbChannel->currentText(), QStringLiteral("Stereo"));
    EXPECT_EQ(w->ui().cmbOF->currentText(), QStringLiteral("WMA"));
    EXPECT_EQ(w->ui().txtPath->text(), dir.path() + QStringLiteral("/output"));
    EXPECT_EQ(
        w->ui().lblVersion->text(),
        QStringLiteral("Ver %1.%2.%3").arg(VELTRA_VERSION_MAJOR).arg(VELTRA_VERSION_MINOR).arg(VELTRA_VERSION_PATCH));
    EXPECT_EQ(w->ui().lblWeb->text(), QStringLiteral("Veltra WMA Converter"));
    EXPECT_EQ(w->ui().imgPB->width(), 0);
    EXPECT_EQ(w->options().SoundReminder, 0);
    EXPECT_EQ(w->options().MusicCutter, 0);
    EXPECT_FALSE(QDir(w->ui().txtPath->text()).exists()) << "start-up creates no folder";
    EXPECT_FALSE(QFile::exists(SetupIni::FilePath(dir.path())));
}

TEST_F(Startup, TheWindowShowsTheSavedSetupAsLoadingReadsIt)
{
    writeSetup("\"12\"\r\n\"3\"\r\n\"0\"\r\n\"/srv/My, Music\"\r\n\"7\"\r\n");
    OptionsIni::SaveOptions(dir.path(), OptionSettings{1, 1, 30, 60, 3, 2, 1});
    auto w = start();
    EXPECT_EQ(w->ui().cmbBR->currentText(), QStringLiteral("192")) << "12 is one past the last bitrate";
    EXPECT_EQ(w->ui().cmbR->currentText(), QStringLiteral("24000"));
    EXPECT_EQ(w->ui().cmbChannel->currentText(), QStringLiteral("Mono"));
    EXPECT_EQ(w->ui().txtPath->text(), QStringLiteral("/srv/My, Music"));
    EXPECT_EQ(w->ui().cmbOF->currentText(), QStringLiteral("AMR"));
    EXPECT_EQ(w->options().SoundReminder, 1);
    EXPECT_EQ(w->options().MusicCutter, 1);
    EXPECT_EQ(w->options().CutFrom, 30);
    EXPECT_EQ(w->options().CutDuration, 60);
    EXPECT_EQ(w->options().FilesAtOnce, 3);
    EXPECT_EQ(w->options().OutputFiles, 2);
    EXPECT_EQ(w->options().IfExists, 1);
}

TEST_F(Startup, ExitCommandSavesTheSettingsAndTheNextStartShowsThem)
{
    auto w = start();
    w->ui().cmbBR->setCurrentIndex(10); // 256
    w->ui().cmbOF->setCurrentIndex(0);
    w->ui().txtPath->setText(QStringLiteral("/srv/My, Music"));
    writeFile(dir.filePath(QStringLiteral("tmpfile.wav")), "scratch");
    EXPECT_TRUE(trigger(w.get(), "actionExit"));
    EXPECT_EQ(ended, 1);
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("tmpfile.wav"))));
    EXPECT_TRUE(readFile(SetupIni::FilePath(dir.path())).startsWith("\"10\"\r\n"));
    w.reset();
    w = start();
    EXPECT_EQ(w->ui().cmbBR->currentText(), QStringLiteral("256"));
    EXPECT_EQ(w->ui().cmbOF->currentText(), QStringLiteral("MP3"));
    EXPECT_EQ(w->ui().txtPath->text(), QStringLiteral("/srv/My, Music"));
}

TEST_F(Startup, OtherWaysOutSaveNothingButStillEndTheProgram)
{
    auto w = start();
    EXPECT_TRUE(trigger(w.get(), "actionExit"));
    const QByteArray saved = readFile(SetupIni::FilePath(dir.path()));
    w.reset();
    w = start();
    w->ui().cmbOF->setCurrentIndex(3);
    w->close(); // the window manager's close
    EXPECT_EQ(ended, 2);
    EXPECT_EQ(readFile(SetupIni::FilePath(dir.path())), saved);
}

TEST_F(Startup, ScratchFileThatCannotBeDeletedDoesNotHoldTheExit)
{
    // A non-empty folder where a scratch file should be: it exists and removing it fails.
    QDir(dir.path()).mkpath(QStringLiteral("tmpfile1.mp3/inside"));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("setup.ini"))); // and settings that cannot be written
    auto w = start();
    EXPECT_TRUE(trigger(w.get(), "actionExit"));
    EXPECT_EQ(ended, 1);
}

// The real program, copied into a folder of its own so its lock and settings are the test's.
class RealProgram : public ::testing::Test
{
protected:
    void SetUp() override
    {
        program = dir.filePath(QStringLiteral("veltra-wma-converter"));
        ASSERT_TRUE(QFile::copy(buildProgramFolder() + QStringLiteral("/veltra-wma-converter"), program));
        QFile::setPermissions(program, QFile::permissions(program) | QFile::ExeOwner);
        QDir(dir.path()).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(dir.filePath(QStringLiteral("runtime")),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QProcessEnvironment env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        e.insert(QStringLiteral("XDG_RUNTIME_DIR"), dir.filePath(QStringLiteral("runtime")));
        return e;
    }

    QTemporaryDir dir;
    QString program;
};

TEST_F(RealProgram, SecondInstanceEndsAtOnceAndTouchesNothing)
{
    ScopedEnv runtime("XDG_RUNTIME_DIR", dir.filePath(QStringLiteral("runtime")).toUtf8());
    QProcess first;
    first.setProcessEnvironment(env());
    first.start(program, {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(SingleInstance::LockPath(program)); }, 20000));

    QProcess second;
    second.setProcessEnvironment(env());
    second.start(program, {});
    EXPECT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot), QStringList{"veltra-wma-converter"});

    first.kill();
    first.waitForFinished();
}

// The stand-in tool the program leaves behind: it writes its pid, notes any stop signal, and is held
// until the test lets it finish its file.
struct HeldTool
{
    explicit HeldTool(const ProgramFolder& folder)
        : pids(folder.file("pids.txt")), signalLog(folder.file("signals.txt")), go(folder.file("go")),
          ops("FAKE_TOOL_OPS",
              "pidto:" + pids.toUtf8() + ";termto:" + signalLog.toUtf8() + ";waitfor:" + go.toUtf8() + ";touch")
    {}
    qint64 pid() const { return pidsIn(pids).value(0); }

    QString pids;
    QString signalLog;
    QString go;
    ScopedEnv ops;
};

TEST(ExitWhileConverting, ProgramEndsAtOnceAndTheToolFinishesItsFile)
{
    ProgramFolder folder;
    HeldTool tool(folder);
    QProcess app;
    app.start(QStringLiteral(VELTRA_EXIT_HELPER), {folder.path(), folder.file("song.wav")});
    ASSERT_TRUE(app.waitForFinished(60000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 0) << app.readAllStandardError().toStdString();
    EXPECT_TRUE(QFile::exists(folder.file("setup.ini")));
    // The program left while its tool was held in the middle of the file.
    ASSERT_TRUE(QTest::qWaitFor([&] { return tool.pid() > 0; }, 30000));
    EXPECT_TRUE(toolGroupRunning(tool.pid())) << "the tool was stopped";
    EXPECT_FALSE(QFile::exists(folder.file("out/song.wma")));
    release(tool.go);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !toolGroupRunning(tool.pid()); }, 30000));
    EXPECT_TRUE(QFile::exists(folder.file("out/song.wma")));
    EXPECT_EQ(linesOf(tool.signalLog), QStringList{}) << "a signal reached the tool";
}

TEST(ExitWhileConverting, SignalsToTheProgramRunTheUnloadAndTheToolFinishesItsFile)
{
    for (const int sig : {SIGTERM, SIGINT, SIGHUP}) {
        ProgramFolder folder;
        HeldTool tool(folder);
        const QString scratch = folder.file("tmpfile.wav");
        QFile(scratch).open(QIODevice::WriteOnly);
        // The program leads a process group of its own, as in a terminal: Ctrl+C and a hang-up go to the
        // whole group, which the tools it started are not part of.
        QProcess app;
        app.setChildProcessModifier([] { ::setpgid(0, 0); });
        app.start(QStringLiteral(VELTRA_EXIT_HELPER), {folder.path(), folder.file("song.wav"), "signal", scratch});
        // The tool has started and put its handlers in place.
        ASSERT_TRUE(QTest::qWaitFor([&] { return tool.pid() > 0; }, 30000)) << sig;
        ::kill(sig == SIGTERM ? pid_t(app.processId()) : -pid_t(app.processId()), sig);
        ASSERT_TRUE(app.waitForFinished(30000)) << sig;
        EXPECT_EQ(app.exitStatus(), QProcess::NormalExit) << sig;
        EXPECT_EQ(app.exitCode(), 0) << sig;
        EXPECT_FALSE(QFile::exists(scratch)) << "the unload ran";
        EXPECT_FALSE(QFile::exists(folder.file("setup.ini"))) << "only the exit command saves";
        EXPECT_TRUE(toolGroupRunning(tool.pid())) << sig;
        release(tool.go);
        EXPECT_TRUE(QTest::qWaitFor([&] { return !toolGroupRunning(tool.pid()); }, 30000)) << sig;
        EXPECT_TRUE(QFile::exists(folder.file("out/song.wma"))) << sig;
        EXPECT_EQ(linesOf(tool.signalLog), QStringList{}) << "the signal reached the tool: " << sig;
    }
}

} // namespace
