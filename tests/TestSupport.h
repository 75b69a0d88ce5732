#pragma once

#include "ui/MsgBox.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMap>
#include <QObject>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QTemporaryDir>
#include <string>
#include <vector>

namespace TestSupport {

// Paths as standard strings, so a failing comparison prints them as text.
inline std::vector<std::string> text(const QList<QString>& list)
{
    std::vector<std::string> out;
    for (const QString& s : list)
        out.push_back(s.toStdString());
    return out;
}

// The stand-in tool built with the tests.
QString fakeToolPath();
// The build's program folder (the real executable, its data/conv.exe).
QString buildProgramFolder();

// A temporary program folder whose data/conv.exe is a link to the given program (the fake tool unless
// told otherwise). The process started through it is named "conv.exe".
class ProgramFolder
{
public:
    explicit ProgramFolder(const QString& tool = fakeToolPath());
    QString path() const { return m_dir.path(); }
    QString toolPath() const { return m_dir.path() + QStringLiteral("/data/conv.exe"); }
    QString file(const QString& name) const { return m_dir.path() + QLatin1Char('/') + name; }
    // Another link to the fake tool under a name that is not the tool's.
    QString linkAs(const QString& name, const QString& target = fakeToolPath()) const;

private:
    QTemporaryDir m_dir;
};

// Records every message box instead of showing it; restores the previous presenter when it goes.
class MsgBoxRecorder
{
public:
    MsgBoxRecorder();
    ~MsgBoxRecorder();
    const QList<MsgBox::Shown>& shown() const { return m_shown; }
    void clear() { m_shown.clear(); }

private:
    QList<MsgBox::Shown> m_shown;
    MsgBox::Presenter m_previous;
};

// Sets an environment variable for the lifetime of the object.
class ScopedEnv
{
public:
    ScopedEnv(const char* name, const QByteArray& value);
    ~ScopedEnv();

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

// A sine tone written as a 16-bit PCM WAV by the system's ffmpeg; true on success.
bool makeTone(const QString& path, double seconds, int rate = 44100, int channels = 2);

// One stream property of a media file as ffprobe reports it ("codec_name", "sample_rate", "channels",
// "duration"); empty when ffprobe cannot read the file.
QString probe(const QString& path, const QString& entry);

// Everything ffprobe tells of a media file (its "streams" and "format", tags included); empty when it
// cannot read the file.
QJsonObject probeAll(const QString& path);

// A file's gain tags (REPLAYGAIN_*, R128_*), its container's and its audio streams', by their keys in upper
// case; with all, every tag.
QMap<QString, QString> gainTags(const QString& path, bool all = false);

// The conversion tool's record goes to a new file at recordPath, on the descriptor the program reads it
// from (3): set before p starts.
void recordTo(QProcess& p, const QString& recordPath);

// How a program run to its end went: its exit code (-1 when it did not exit normally or in time) and
// what it printed.
struct Ran
{
    int status = -1;
    QString out;
    QString err;
};

// Starts a program as from a terminal with no display of any kind (DISPLAY, WAYLAND_DISPLAY and
// QT_QPA_PLATFORM unset, and FFmpeg's own program pointed at nothing: were it started, it would fail), in
// folder, with extra added to its environment.
void startWithoutDisplay(QProcess& p, const QString& program, const QStringList& arguments, const QString& folder,
                         const QProcessEnvironment& extra = QProcessEnvironment());
// The same, waited for to its end (killed after timeoutMs).
Ran runWithoutDisplay(const QString& program, const QStringList& arguments, const QString& folder,
                      const QProcessEnvironment& extra = QProcessEnvironment(), int timeoutMs = 300000);

// The state letter of a process in /proc ('R', 'S', 'T' for stopped, ...); 0 when it is gone.
char processState(qint64 pid);

// A program folder of its own at folder: a copy of the built program (its own folder is its program
// folder, links resolved) and a link to the built conversion tool in data/. False when it could not be made.
bool makeProgramFolder(const QString& folder);

// Reads a NUL-separated argument file written by the fake tool's argsto operation.
QList<QByteArray> readArgs(const QString& path);

// A chain of folders below parent whose deepest path is longer than the system takes (PATH_MAX), as a
// deep library copied from elsewhere can hold; the deepest path, or "" when it could not be made.
// removeDeepTree takes such a tree away again (a path-based removal cannot reach its bottom).
QString makeFolderPastPathMax(const QString& parent);
void removeDeepTree(const QString& folder);

// Makes an empty file at path: what a stand-in tool held by "waitfor:PATH" waits for.
void release(const QString& path);

// The lines of a text file; none when it cannot be read.
QStringList linesOf(const QString& path);

// The process ids the stand-in tool wrote with "pidto:PATH", in order.
QList<qint64> pidsIn(const QString& path);

// The processes this one started that are still there, ended ones not yet reaped included.
QList<qint64> childProcesses();

// Whether anything named like the conversion tool is left in the process group of the tool started as
// pid (the runner starts each tool as the leader of a group of its own). Never another program's tool.
bool toolGroupRunning(qint64 pid);

// A FAT file system through fusefat, as a stick mounted by a FUSE driver: no renameat2 flags, no hard
// links, and names with the characters FAT refuses fail. Not mounted where /dev/fuse, fusefat or
// mkfs.fat is missing: the test then skips.
class FatStick
{
public:
    FatStick();
    ~FatStick();
    FatStick(const FatStick&) = delete;
    FatStick& operator=(const FatStick&) = delete;
    bool mounted() const { return m_mounted; }
    QString mount() const { return m_dir.filePath(QStringLiteral("mnt")); }

private:
    bool isMounted() const;
    QTemporaryDir m_dir;
    bool m_mounted = false;
};

} // namespace TestSupport
