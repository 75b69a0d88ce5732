// Batches with our own tool run through one worker per slot; any other tool still runs once per file.
#include "DriverBatch.h"
#include "TestSupport.h"
#include "convert/BatchDriver.h"
#include "convert/ChildReaper.h"
#include "filelist/FileQueue.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QJsonObject>
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
    DriverBatch batch(buildProgramFolder(), out, 2);
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
    DriverBatch batch(program.path(), dir.filePath(QStringLiteral("out")), 1);
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

TEST(BatchWorkers, WithLoudnessEveryRowIsAnalysedBeforeAnyConvertsAndAStopEndsTheAnalyses)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<QString> inputs;
    for (int i = 0; i < 3; ++i) {
        inputs.append(dir.filePath(QStringLiteral("in%1.wav").arg(i)));
        ASSERT_TRUE(makeTone(inputs.last(), 1));
    }
    const QString out = dir.filePath(QStringLiteral("out"));
    ASSERT_TRUE(QDir().mkpath(out));
    {
        DriverBatch batch(buildProgramFolder(), out, 2);
        batch.setup.options.Loudness = 3;
        // What the rows show, seen as each changes, and whether any row was analysing when a file started.
        QSet<QString> analysed;
        bool startedWhileAnalysing = false;
        const auto analysing = [&] {
            for (int row = 0; row < batch.queue.count(); ++row) {
                if (batch.queue.data(batch.queue.index(row, 1)).toString() == QLatin1String("analysing"))
                    return true;
            }
            return false;
        };
        QObject::connect(&batch.queue, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from) {
            if (batch.queue.data(batch.queue.index(from.row(), 1)).toString() == QLatin1String("analysing"))
                analysed.insert(batch.queue.at(from.row()));
        });
        QObject::connect(&batch.driver, &BatchDriver::fileStarted,
                         [&] { startedWhileAnalysing = startedWhileAnalysing || analysing(); });
        ASSERT_TRUE(batch.run(inputs));
        EXPECT_EQ(analysed, QSet<QString>(inputs.cbegin(), inputs.cend()));
        EXPECT_FALSE(startedWhileAnalysing);
        EXPECT_EQ(batch.driver.outcome().converted(), 3);
        EXPECT_TRUE(batch.queue.isEmpty());
        // One folder, no album tag: one album, one gain, so one album tag on every file.
        const auto albumGainOf = [&](int i) {
            const QJsonObject format =
                probeAll(out + QStringLiteral("/in%1.mp3").arg(i))[QStringLiteral("format")].toObject();
            return format[QStringLiteral("tags")].toObject()[QStringLiteral("REPLAYGAIN_ALBUM_GAIN")].toString();
        };
        const QString albumGain = albumGainOf(0);
        EXPECT_TRUE(albumGain.endsWith(QLatin1String(" dB"))) << albumGain.toStdString();
        for (int i : {1, 2})
            EXPECT_EQ(albumGainOf(i), albumGain);
    }
    {
        // Stopped while the first analysis runs: nothing converts, every file stays, no tool is left.
        const QString stopped = dir.filePath(QStringLiteral("stopped"));
        ASSERT_TRUE(QDir().mkpath(stopped));
        DriverBatch batch(buildProgramFolder(), stopped, 2);
        batch.setup.options.Loudness = 2;
        QObject::connect(&batch.queue, &QAbstractItemModel::dataChanged, [&](const QModelIndex& from) {
            if (batch.queue.data(batch.queue.index(from.row(), 1)).toString() == QLatin1String("analysing"))
                QMetaObject::invokeMethod(&batch.driver, &BatchDriver::Stop, Qt::QueuedConnection);
        });
        QSignalSpy toolsEnded(&batch.driver, &BatchDriver::toolsEnded);
        QSignalSpy ended(&batch.driver, &BatchDriver::batchEnded);
        BatchDriver::End how = BatchDriver::End::Finished;
        QObject::connect(&batch.driver, &BatchDriver::batchEnded, [&](BatchDriver::End e) { how = e; });
        batch.queue.appendMany(inputs);
        ASSERT_TRUE(batch.driver.Start(batch.setup));
        ASSERT_TRUE(ended.wait(120000));
        EXPECT_EQ(how, BatchDriver::End::Stopped);
        EXPECT_TRUE(toolsEnded.count() > 0 || toolsEnded.wait(30000));
        EXPECT_EQ(batch.queue.paths(), inputs);
        EXPECT_TRUE(QDir(stopped).entryList(QDir::Files | QDir::Hidden).isEmpty());
        EXPECT_EQ(batch.driver.outcome().failures().size(), 0);
    }
    EXPECT_TRUE(QTest::qWaitFor([] { return toolChildren() == 0 && ChildReaper::pendingCount() == 0; }, 30000))
        << toolChildren() << " conv.exe still there after the batch";
}
