#include "filelist/MusicFilter.h"
#include "filelist/FileSearch.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

void touch(const QString& path)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
}

TEST(MusicFilter, AudioVideoAndContainersAreMusicPlaylistsMidiPicturesAndTextAreNot)
{
    MusicFilter filter;
    for (const char* name :
         {"a.mp3", "a.FLAC", "a.ogg", "a.opus", "a.m4a", "a.wma", "a.wav", "a.ape", "a.mka", "clip.mkv", "clip.mp4",
          "a.ts", "a.shn", "a.caf", "a.tak", "a.ogx", "a.ra", ".hidden.ogg", "02. Mr. Brightside.flac"})
        EXPECT_TRUE(filter.CanBeMusic(QString::fromUtf8(name))) << name;
    for (const char* name :
         {"cover.jpg", "folder.JPG", "album.cue", "rip.log", "notes.txt", "list.m3u", "list.m3u8", "radio.pls", "a.asx",
          "a.wax", "tune.mid", "tune.midi", "._x.mp3", "README", "trailing.", "a.xspf"})
        EXPECT_FALSE(filter.CanBeMusic(QString::fromUtf8(name))) << name;
    // The answer per extension is remembered; asking again must not change it.
    EXPECT_TRUE(filter.CanBeMusic(QStringLiteral("b.mp3")));
    EXPECT_FALSE(filter.CanBeMusic(QStringLiteral("b.jpg")));
}

TEST(MusicFilter, AScanForMusicCountsWhatItLeftOutAndSkipsTrashAndTheOutputFolder)
{
    QTemporaryDir root;
    QDir dir(root.path());
    for (const char* d : {"Artist/Album", ".Trash", ".Trash-1000", ".Trash-x", "out/Artist/Album"})
        dir.mkpath(QString::fromLatin1(d));
    for (const char* f :
         {"Artist/Album/01. Intro.flac", "Artist/Album/cover.jpg", "Artist/Album/album.cue", "Artist/Album/rip.log",
          "Artist/Album/list.m3u", "Artist/Album/._01. Intro.flac", "Artist/notes.txt", "Artist/NOEXT",
          ".Trash/old.mp3", ".Trash-1000/old.mp3", ".Trash-x/kept.mp3", "out/Artist/Album/01. Intro.mp3", "video.TS"})
        touch(root.filePath(QString::fromLatin1(f)));

    QList<QString> found;
    FileSearch::Collect collect;
    collect.musicOnly = true;
    collect.skipFolders = {root.filePath(QStringLiteral("out/"))};
    FileSearch::SearchFolder(root.path(), found, {}, &collect);
    const QList<QString> expected = {root.filePath(QStringLiteral("video.TS")),
                                     root.filePath(QStringLiteral(".Trash-x/kept.mp3")),
                                     root.filePath(QStringLiteral("Artist/Album/01. Intro.flac"))};
    EXPECT_EQ(found, expected);
    EXPECT_EQ(collect.leftOut, 7);

    // Without the music filter a scan still lists everything, as before.
    QList<QString> all;
    FileSearch::SearchFolder(root.path(), all);
    EXPECT_EQ(all.size(), 13);
}

} // namespace
