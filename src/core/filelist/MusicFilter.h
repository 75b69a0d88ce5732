#pragma once

#include <QHash>
#include <QString>

// Tells from a file's name alone whether it can be music the tool reads, so a folder scan of a ripped
// library leaves out its covers, cue sheets, rip logs and playlists without opening a single file. The
// desktop's MIME database decides by extension: audio and video types and the container types music
// comes in are music; playlists and MIDI are not, although the database files them under audio; a few
// extensions the tool reads are music whatever the database calls them (".ts" is also a translation
// file). AppleDouble "._NAME" files and names without an extension are never music.
class MusicFilter
{
public:
    bool CanBeMusic(const QString& fileName);

private:
    bool typeIsMusic(const QString& fileName) const;

    // Extension as written -> the answer: a library has few extensions and very many files.
    QHash<QString, bool> m_byExtension;
};
