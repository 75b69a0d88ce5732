#include "TestSupport.h"
#include "convert/DOSOutputs.h"
#include "convert/ProcessLookup.h"

#include <cerrno>
#include <climits>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

namespace TestSupport {

QString fakeToolPath()
{
    return QStringLiteral(VELTRA_FAKE_TOOL);
}

QString buildProgramFolder()
{
    return QStringLiteral(VELTRA_BIN_DIR);
}

ProgramFolder::ProgramFolder(const QString& tool)
{
    QDir(m_dir.path()).mkpath(QStringLiteral("data"));
    QFile::link(tool, toolPath());
}

QString ProgramFolder::linkAs(const QString& name, const QString& target) const
{
    const QString link = m_dir.path() + QLatin1Char('/') + name;
    QFile::link(target, link);
    return link;
}

MsgBoxRecorder::MsgBoxRecorder() : m_previous(MsgBox::presenter())
{
    MsgBox::setPresenter([this](const MsgBox::Shown& s) { m_shown.append(s); });
}

MsgBoxRecorder::~MsgBoxRecorder()
{
    MsgBox::setPresenter(m_previous);
}

ScopedEnv::ScopedEnv(const char* name, const QByteArray& value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value);
}

ScopedEnv::~ScopedEnv()
{
    if (m_had)
        qputenv(m_name, m_old);
    else
        qunsetenv(m_name);
}

bool makeTone(const QString& path, double seconds, int rate, int channels)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"),
            {QStringLiteral("-nostdin"), QStringLiteral("-loglevel"), QStringLiteral("error"), QStringLiteral("-y"),
             QStringLiteral("-f"), QStringLiteral("lavfi"), QStringLiteral("-i"),
             QStringLiteral("sine=frequency=440:sample_rate=%1:duration=%2").arg(rate).arg(seconds),
             QStringLiteral("-ac"), QString::number(channels), QStringLiteral("-c:a"), QStringLiteral("pcm_s16le"),
             path});
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0 &&
           QFile::exists(path);
}

QString probe(const QString& path, const QString& entry)
{
    QProcess p;
    const QString section = entry == QLatin1String("duration") ? QStringLiteral("format") : QStringLiteral("stream");
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-select_streams"), QStringLiteral("a:0"),
             QStringLiteral("-show_entries"), section + QLatin1Char('=') + entry, QStringLiteral("-of"),
             QStringLiteral("default=noprint_wrappers=1:nokey=1"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QJsonObject probeAll(const QString& path)
{
    QProcess p;
    p.start(QStringLiteral("ffprobe"),
            {QStringLiteral("-v"), QStringLiteral("error"), QStringLiteral("-show_streams"),
             QStringLiteral("-show_format"), QStringLiteral("-of"), QStringLiteral("json"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QJsonDocument::fromJson(p.readAllStandardOutput()).object();
}

char processState(qint64 pid)
{
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray line = f.readAll();
    const QByteArray rest = line.mid(line.lastIndexOf(')') + 2);
    return rest.isEmpty() ? char(0) : rest[0];
}

bool makeProgramFolder(const QString& folder)
{
    return QDir().mkpath(folder + QStringLiteral("/data")) &&
           QFile::copy(buildProgramFolder() + QStringLiteral("/veltra-wma-converter"),
                       folder + QStringLiteral("/veltra-wma-converter")) &&
           QFile::link(buildProgramFolder() + QStringLiteral("/data/conv.exe"),
                       folder + QStringLiteral("/data/conv.exe"));
}

QMap<QString, QString> gainTags(const QString& path, bool all)
{
    QMap<QString, QString> tags;
    const QJsonObject probed = probeAll(path);
    QList<QJsonObject> holders = {probed[QStringLiteral("format")][QStringLiteral("tags")].toObject()};
    for (const QJsonValue& s : probed[QStringLiteral("streams")].toArray())
        holders.append(s[QStringLiteral("tags")].toObject());
    for (const QJsonObject& h : holders) {
        for (auto it = h.begin(); it != h.end(); ++it) {
            const QString key = it.key().toUpper();
            if (all || key.startsWith(QLatin1String("REPLAYGAIN_")) || key.startsWith(QLatin1String("R128_")))
                tags.insert(key, it.value().toString());
        }
    }
    return tags;
}

void recordTo(QProcess& p, const QString& recordPath)
{
    const QByteArray record = QFile::encodeName(recordPath);
    p.setChildProcessModifier([record] {
        const int fd = ::open(record.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        if (fd >= 0 && fd != 3) {
            ::dup2(fd, 3);
            ::close(fd);
        }
    });
}

void startWithoutDisplay(QProcess& p, const QString& program, const QStringList& arguments, const QString& folder,
                         const QProcessEnvironment& extra)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    env.insert(QStringLiteral("VELTRA_FFMPEG"), QStringLiteral("/nonexistent/ffmpeg"));
    env.insert(extra);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder);
    p.start(program, arguments);
}

Ran runWithoutDisplay(const QString& program, const QStringList& arguments, const QString& folder,
                      const QProcessEnvironment& extra, int timeoutMs)
{
    QProcess p;
    startWithoutDisplay(p, program, arguments, folder, extra);
    Ran r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QList<QByteArray> readArgs(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QList<QByteArray> args = f.readAll().split('\0');
    if (!args.isEmpty() && args.last().isEmpty())
        args.removeLast();
    return args;
}

QString makeFolderPastPathMax(const QString& parent)
{
    // Made level by level from the one before, as no single path could name the deepest.
    const QByteArray level(200, 'x');
    int fd = ::open(QFile::encodeName(parent).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    QString deep = parent;
    while (fd >= 0 && QFile::encodeName(deep).size() < PATH_MAX + 300) {
        if (::mkdirat(fd, level.constData(), 0755) != 0 && errno != EEXIST) {
            ::close(fd);
            return {};
        }
        const int next = ::openat(fd, level.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        deep += QLatin1Char('/') + QString::fromLatin1(level);
    }
    if (fd < 0)
        return {};
    ::close(fd);
    return deep;
}

void removeDeepTree(const QString& folder)
{
    QProcess::execute(QStringLiteral("rm"), {QStringLiteral("-rf"), folder});
}

void release(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::WriteOnly);
}

QStringList linesOf(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QList<qint64> pidsIn(const QString& path)
{
    QList<qint64> pids;
    for (const QString& line : linesOf(path))
        pids.append(line.toLongLong());
    return pids;
}

QList<qint64> childProcesses()
{
    QList<qint64> children;
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool number = false;
        const qint64 pid = entry.toLongLong(&number);
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!number || !stat.open(QIODevice::ReadOnly))
            continue;
        // After the name, which may hold anything: state, then the parent.
        const QByteArray text = stat.readAll();
        const QList<QByteArray> rest = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (rest.size() > 1 && rest[1].toLongLong() == ::getpid())
            children.append(pid);
    }
    return children;
}

bool toolGroupRunning(qint64 pid)
{
    return ProcessLookup::IsProcessRunningInGroup(QString::fromLatin1(DOSOutputs::kToolImageName), pid_t(pid));
}

FatStick::FatStick()
{
    if (!QFile::exists(QStringLiteral("/dev/fuse")) || QStandardPaths::findExecutable("fusefat").isEmpty() ||
        QStandardPaths::findExecutable("mkfs.fat").isEmpty())
        return;
    const QString image = m_dir.filePath(QStringLiteral("fat.img"));
    QFile img(image);
    if (!img.open(QIODevice::WriteOnly) || !img.resize(16 * 1024 * 1024))
        return;
    img.close();
    QDir(m_dir.path()).mkdir(QStringLiteral("mnt"));
    if (QProcess::execute(QStringLiteral("mkfs.fat"), {QStringLiteral("-F"), QStringLiteral("16"), image}) != 0)
        return;
    QProcess fuse;
    fuse.start(QStringLiteral("fusefat"), {QStringLiteral("-o"), QStringLiteral("rw+"), image, mount()});
    if (!fuse.waitForFinished(10000) || fuse.exitCode() != 0)
        return;
    m_mounted = QTest::qWaitFor([this] { return isMounted(); }, 5000);
}

FatStick::~FatStick()
{
    if (m_mounted)
        QProcess::execute(QStringLiteral("fusermount"), {QStringLiteral("-u"), mount()});
}

bool FatStick::isMounted() const
{
    QFile mounts(QStringLiteral("/proc/mounts"));
    return mounts.open(QIODevice::ReadOnly) && mounts.readAll().contains(" " + QFile::encodeName(mount()) + " ");
}

} // namespace TestSupport
