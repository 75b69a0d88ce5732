// Batches with our own tool run through one worker per slot; any other tool still runs once per file.
#include "TestSupport.h"
#include "convert/BatchDriver.h"
#include "convert/ChildReaper.h"
#include "filelist/FileQueue.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// Children of this process whose image is conv.exe, ended ones included.
int toolChildren()
{
    int n = 0;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray text = stat.readAll();
        const qsizetype close = text.lastIndexOf(')');
        const QByteArray name = text.mid(text.indexOf('(') + 1, close - text.indexOf('(') - 1);
        const QList<QByteArray> rest = text.mid(close + 2).split(' ');
        if (name == "conv.exe" && rest.size() > 1 && rest[1].toLongLong() == ::getpid())
            ++n;
    }
    return n;
}

// Which tool process wrote each output of a folder: a tool moves its part file ".NAME.part-PID-XXXXXX" to
// NAME, and inotify pairs the two names of one rename by its cookie.
class Writers
{
public:
    explicit Writers(const QString& folder) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        if (m_fd >= 0)
            m_watching =
                ::inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_FROM | IN_MOVED_TO) >= 0;
    }
    ~Writers()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    bool watching() const { return m_watching; }

    // Output name -> the process id in the name of the part file it came from.
    QHash<QString, qint64> byOutput()
    {
        alignas(inotify_event) char buffer[64 * 1024];
        for (ssize_t n; (n = ::read(m_fd, buffer, sizeof buffer)) > 0;) {
            for (char* at = buffer; at < buffer + n;) {
                const auto* e = reinterpret_cast<const inotify_event*>(at);
                const QString name = e->len ? QFile::decodeName(e->name) : QString();
                if (e->mask & IN_MOVED_FROM)
                    m_from.insert(e->cookie, name);
                else if (e->mask & IN_MOVED_TO)
                    m_to.insert(e->cookie, name);
                at += sizeof(inotify_event) + e->len;
            }
        }
        QHash<QString, qint64> writers;
        for (auto it = m_to.cbegin(); it != m_to.cend(); ++it) {
            const QString from = m_from.value(it.key());
            const qsizetype tag = from.lastIndexOf(QStringLiteral(".part-"));
            if (tag < 0)
                continue;
            writers.insert(it.value(), from.mid(tag + 6).section(QLatin1Char('-'), 0, 0).toLongLong());
        }
        return writers;
    }

private:
    int m_fd;
    bool m_watching = false;
    QHash<quint32, QString> m_from;
    QHash<quint32, QString> m_to;
};

struct Batch
{
    explicit Batch(const QString& programFolder, const QString& outputFolder, int filesAtOnce) : driver(&queue)
    {
        setup.programFolder = programFolder;
        setup.outputFolder = outputFolder;
        setup.formatIndex = 0;
        setup.bitrate = QStringLiteral("192");
        setup.sampleRate = QStringLiteral("44100");
        setup.channelIndex = 1;
        setup.options.FilesAtOnce = filesAtOnce;
    }

    bool run(QList<QString> inputs)
    {
        QSignalSpy ended(&driver, &BatchDriver::batchEnded);
        queue.appendMany(inputs);
        return driver.Start(setup) && ended.wait(120000);
    }

    CommandBuilder::Request setup;
    FileQueue queue;
    BatchDriver driver;
};

} // namespace

TEST(BatchWorkers, OurToolConvertsEveryFileInTheSlotsOwnProcessesAndNoToolIsLeftAfterTheBatch)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<QString> inputs;
    for (int i = 0; i < 5; ++i) {
        inputs.append(dir.filePath(QStringLiteral("in%1.wav").arg(i)));
        ASSERT_TRUE(makeTone(inputs.last(), 0.3));
    }
    // The third input is no audio: it fails alone, and the files after it still convert.
    QFile bad(inputs[2]);
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly | QIODevice::Truncate));
    bad.write("not audio at all");
    bad.close();
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    Writers writers(out);
    ASSERT_TRUE(writers.watching());
    Batch batch(buildProgramFolder(), out, 2);
    ASSERT_TRUE(batch.run(inputs));
    EXPECT_EQ(batch.driver.outcome().converted(), 4);
    ASSERT_EQ(batch.driver.outcome().failures().size(), 1);
    EXPECT_EQ(batch.driver.outcome().failures().first().input, inputs[2]);
    EXPECT_EQ(batch.queue.paths(), QList<QString>{inputs[2]});
    for (int i : {0, 1, 3, 4})
        EXPECT_TRUE(QFile::exists(out + QStringLiteral("/in%1.mp3").arg(i))) << i;
    EXPECT_TRUE(QDir(out).entryList({QStringLiteral("*.part-*")}, QDir::Files | QDir::Hidden).isEmpty());
    // The files shared the two slots' tool processes: besides those two, at most the fresh one that took
    // over after the failure; one process per file would have been four.
    const QHash<QString, qint64> wrote = writers.byOutput();
    EXPECT_EQ(wrote.size(), 4);
    QSet<qint64> processes;
    for (int i : {0, 1, 3, 4}) {
        const qint64 pid = wrote.value(QStringLiteral("in%1.mp3").arg(i));
        EXPECT_GT(pid, 0) << i;
        processes.insert(pid);
    }
    EXPECT_LE(processes.size(), 3) << "each file had a tool process of its own";
    EXPECT_TRUE(QTest::qWaitFor([] { return toolChildren() == 0 && ChildReaper::pendingCount() == 0; }, 30000))
        << toolChildren() << " conv.exe still there after the batch";
}

TEST(BatchWorkers, AToolWithoutTheHandshakeRunsOneProcessPerFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString log = dir.filePath(QStringLiteral("pids"));
    const QString script = dir.filePath(QStringLiteral("tool.sh"));
    QFile f(script);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QStringLiteral("#!/bin/sh\n[ $# -eq 0 ] && exit 1\necho $$ >> '%1'\nfor a; do last=$a; done\n"
                           "echo x > \"$last\"\n")
                .arg(log)
                .toUtf8());
    f.close();
    f.setPermissions(QFile::ReadOwner | QFile::ExeOwner);
    ProgramFolder program(script);
    QList<QString> inputs;
    for (int i = 0; i < 3; ++i) {
        inputs.append(dir.filePath(QStringLiteral("in%1.wav").arg(i)));
        QFile in(inputs.last());
        ASSERT_TRUE(in.open(QIODevice::WriteOnly));
    }
    Batch batch(program.path(), dir.filePath(QStringLiteral("out")), 1);
    ASSERT_TRUE(batch.run(inputs));
    EXPECT_EQ(batch.driver.outcome().converted(), 3)
        << (batch.driver.outcome().failures().isEmpty()
                ? std::string()
                : batch.driver.outcome().failures().first().lastLine.toStdString());
    QFile pids(log);
    ASSERT_TRUE(pids.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = pids.readAll().trimmed().split('\n');
    EXPECT_EQ(lines.size(), 3);
    EXPECT_EQ(QSet<QByteArray>(lines.begin(), lines.end()).size(), 3) << "one process per file";
}
