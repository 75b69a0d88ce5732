#pragma once

#include "ui/MsgBox.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QMimeData>
#include <QObject>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>
#include <QWidget>
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

// Catches every address the program would open (folders, help, web pages) for as long as it lives, so
// no file manager or browser starts during tests.
class OpenedUrls : public QObject
{
    Q_OBJECT
public:
    OpenedUrls();
    ~OpenedUrls() override;
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls.append(url); }
};

// Runs a command of a window as its button, menu item or key would: triggers its action, found by object
// name ("actionConvert"). False, triggering nothing, when there is no such action or it is disabled now.
bool trigger(QObject* window, const char* action);

// Drops data on a widget as a real drag does: an enter event the widget must accept, then the drop. For
// a list view, send it to the viewport. False when the enter was refused (nothing dropped) or the drop
// was not taken as a copy.
bool drop(QWidget* target, const QMimeData* mime);

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
