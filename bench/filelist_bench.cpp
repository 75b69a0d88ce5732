// The file list with a hundred thousand files: the folder scan against `find`, appending, removing the
// head, Remove Selected on half the rows (one block, then every other row), and Remove All, all with the
// main window's list view attached to the queue; then sorting 100,000 names and choosing 100,000 output
// names; then where 100,000 outputs go with the folder tree kept, and the check a second run in skip mode
// makes for each.
#include "app/frmMain.h"
#include "convert/FolderMaker.h"
#include "convert/OutputNames.h"
#include "convert/OutputPlace.h"
#include "filelist/FileQueue.h"
#include "filelist/FileSearch.h"
#include "filelist/NameOrder.h"
#include "ui/FolderDialog.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QItemSelectionModel>
#include <QProcess>
#include <QTemporaryDir>
#include <QTreeView>
#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace {
double seconds(const QElapsedTimer& t)
{
    return t.nsecsElapsed() / 1e9;
}
} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const QString tree = dir.filePath(QStringLiteral("tree"));
    const int folders = 10000;
    const int perFolder = 10;
    // A hundred artists of a hundred albums each: no folder holds more than the 200 subfolders a scan
    // walks. Every album also holds its cover, which the scan leaves out.
    for (int d = 0; d < folders; ++d) {
        const QByteArray sub = QFile::encodeName(tree + QStringLiteral("/artist%1/album%2").arg(d / 100).arg(d % 100));
        QDir().mkpath(QFile::decodeName(sub));
        for (int f = 0; f < perFolder; ++f) {
            const QByteArray path = sub + "/track" + QByteArray::number(f) + ".wav";
            ::close(::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
        ::close(::open((sub + "/cover.jpg").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
    }
    std::printf("tree: %d music files and %d covers in %d folders\n", folders * perFolder, folders, folders);

    QElapsedTimer t;
    t.start();
    QProcess find;
    find.start(QStringLiteral("find"), {tree, QStringLiteral("-type"), QStringLiteral("f")});
    find.waitForFinished(-1);
    const qsizetype findLines = find.readAllStandardOutput().count('\n');
    const double findTime = seconds(t);

    frmMain window(dir.path());
    window.show();
    FolderDialog::setAnswerer([&](const QString&) -> std::optional<QString> { return tree; });
    t.restart();
    window.commands()->action(MainCommands::AddFolder)->trigger();
    const double scanTime = seconds(t);
    std::printf("find -type f: %.3f s (%lld files)\n", findTime, static_cast<long long>(findLines));
    std::printf("Add Folder (scan for music and list): %.3f s (%d files), %.2f times find\n", scanTime,
                window.ui().lstFile->count(), scanTime / findTime);

    QList<QString> all;
    t.restart();
    FileSearch::SearchFolder(tree, all);
    std::printf("the same walk collecting every file, without the music filter: %.3f s (%lld files)\n", seconds(t),
                static_cast<long long>(all.size()));
    QList<QString> paths;
    FileSearch::Collect collect;
    collect.musicOnly = true;
    t.restart();
    FileSearch::SearchFolder(tree, paths, {}, &collect);
    std::printf("the walk with the music filter: %.3f s (%lld files, %d left out)\n", seconds(t),
                static_cast<long long>(paths.size()), collect.leftOut);
    window.commands()->action(MainCommands::RemoveAll)->trigger();
    t.restart();
    for (const QString& p : paths)
        window.ui().lstFile->append(p);
    std::printf("appending %lld paths one at a time: %.3f s\n", static_cast<long long>(paths.size()), seconds(t));

    t.restart();
    const int heads = 1000;
    for (int i = 0; i < heads; ++i)
        window.ui().lstFile->removeAt(0);
    const double headAt100k = seconds(t) / heads;
    window.commands()->action(MainCommands::RemoveAll)->trigger();
    window.ui().lstFile->appendMany(paths.mid(0, 10000));
    t.restart();
    for (int i = 0; i < heads; ++i)
        window.ui().lstFile->removeAt(0);
    const double headAt10k = seconds(t) / heads;
    std::printf("removing the head: %.1f us per file at 100,000 rows, %.1f us at 10,000 rows\n", headAt100k * 1e6,
                headAt10k * 1e6);

    // Remove Selected with 50,000 of 100,000 rows selected: one block, then every other row (the worst
    // shape: 50,000 ranges).
    for (const bool alternate : {false, true}) {
        window.commands()->action(MainCommands::RemoveAll)->trigger();
        window.ui().lstFile->appendMany(paths);
        const int rows = window.ui().lstFile->count();
        QItemSelection selection;
        t.restart();
        if (alternate) {
            for (int row = 0; row < rows; row += 2)
                selection.append(
                    QItemSelectionRange(window.ui().lstFile->index(row, 0), window.ui().lstFile->index(row, 1)));
        } else {
            selection.select(window.ui().lstFile->index(rows / 4, 0),
                             window.ui().lstFile->index(rows / 4 + rows / 2 - 1, 1));
        }
        window.ui().LV->selectionModel()->select(selection, QItemSelectionModel::Select);
        const double selecting = seconds(t);
        t.restart();
        window.commands()->action(MainCommands::RemoveSelected)->trigger();
        std::printf("Remove Selected, %d of %d rows %s: %.3f s (selecting them took %.3f s); %d rows left\n", rows / 2,
                    rows, alternate ? "every other row" : "in one block", seconds(t), selecting,
                    window.ui().lstFile->count());
    }

    window.commands()->action(MainCommands::RemoveAll)->trigger();
    window.ui().lstFile->appendMany(paths);
    t.restart();
    window.commands()->action(MainCommands::RemoveAll)->trigger();
    std::printf("Remove All on %lld rows: %.3f s\n", static_cast<long long>(paths.size()), seconds(t));

    // Sorting the names of one folder as a file manager shows them: by sort keys (what the scan does)
    // against comparing pairs of names, on 100,000 names with numbers in them.
    QList<QString> names;
    for (const QString& p : paths)
        names.append(p.section(QLatin1Char('/'), -3).replace(QLatin1Char('/'), QLatin1Char(' ')));
    const QCollator collator = NameOrder::Collator();
    for (int round = 0; round < 3; ++round) {
        QList<QString> a = names;
        t.restart();
        NameOrder::Sort(a, collator);
        const double keyed = seconds(t);
        QList<QString> b = names;
        t.restart();
        std::sort(b.begin(), b.end(), [&](const QString& x, const QString& y) { return collator.compare(x, y) < 0; });
        const double compared = seconds(t);
        std::printf("sorting %lld names: %.3f s by sort keys, %.3f s by compare (%.1fx)\n",
                    static_cast<long long>(names.size()), keyed, compared, compared / keyed);
    }

    // Choosing output names: 100,000 files, a thousand of them for each of a hundred names.
    OutputNames outputs;
    const QString out = dir.filePath(QStringLiteral("out"));
    QDir().mkpath(out);
    t.restart();
    int given = 0;
    for (int i = 0; i < 100000; ++i) {
        const QString input = QStringLiteral("/in/%1/track%2.wav").arg(i / 100).arg(i % 100);
        given += outputs.Reserve(input, out + QStringLiteral("/track%1.mp3").arg(i % 100)).has_value();
    }
    std::printf("choosing %d output names (1000 files per name): %.3f s, %.1f us per file\n", given, seconds(t),
                seconds(t) * 1e6 / 100000);

    // The folder tree kept: each file's folder below the output folder is made when its first file
    // starts, then its output name is chosen, as the batch does before it starts a file's tool.
    const QString kept = dir.filePath(QStringLiteral("kept"));
    QDir().mkpath(kept);
    FolderMaker maker;
    OutputNames keptNames;
    t.restart();
    int placed = 0;
    for (const QString& p : paths) {
        const FolderMaker::Made made = maker.Make(OutputPlace::FolderFor(OutputPlace::KeepFolders, kept, p, tree));
        const QString name = made.folder + p.section(QLatin1Char('/'), -1).replace(QStringLiteral(".wav"), ".mp3");
        if (keptNames.Reserve(p, name)) {
            ::close(::open(QFile::encodeName(name).constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
            ++placed;
        }
    }
    const double keptTime = seconds(t);
    std::printf("tree kept: %d outputs placed (folders made, names chosen, files written) in %.3f s, %.1f us per "
                "file\n",
                placed, keptTime, keptTime * 1e6 / qMax(1, placed));

    // A second run in skip mode: every output is there already.
    FolderMaker again;
    OutputNames againNames;
    t.restart();
    int skipped = 0;
    for (const QString& p : paths) {
        const FolderMaker::Made made = again.Make(OutputPlace::FolderFor(OutputPlace::KeepFolders, kept, p, tree));
        skipped +=
            againNames.Taken(made.folder + p.section(QLatin1Char('/'), -1).replace(QStringLiteral(".wav"), ".mp3"));
    }
    std::printf("second run in skip mode: %d of %lld found already there in %.3f s, %.1f us per file\n", skipped,
                static_cast<long long>(paths.size()), seconds(t), seconds(t) * 1e6 / qMax<qsizetype>(1, paths.size()));
    return 0;
}
