#pragma once

#include <QHash>
#include <QList>
#include <QString>
#include <optional>

// Output names made from a file's tags: "Artist/Album/NN Title" and the like, or the file's own name as
// always. A pattern is text with fields in braces; each "/" makes a folder level below the folder the
// output would otherwise go into. What comes out is a relative path, folders and file name, without the
// extension, and every part of it is a name a file system takes: no "/", no control character, no
// empty part, never "." or "..", at most kMaxPartBytes bytes. Whether that name is free is for
// OutputNames to say, as for every name.
//
// Fields: {artist}, {albumartist} ({artist} when missing), {album}, {title}, {track} (two digits),
// {disc}, {year}, {genre}, {name} (the file's own base name) and {folder} (the folder it was found in).
// A missing artist is "Unknown Artist", a missing album "Unknown Album", a missing title the file's base
// name, a missing genre "Unknown Genre"; a missing track, disc or year is empty, and a folder level that
// comes out empty is "Unknown Track", "Unknown Disc", "Unknown Year" or "Unknown Folder" after its first
// field, so that no output is named empty.
class NamePattern
{
public:
    enum class Preset { KeepName = 0, ArtistAlbumTrackTitle = 1, ArtistTitle = 2, Custom = 3 };

    // A file system's longest name, in bytes.
    static constexpr int kMaxPartBytes = 255;
    // What the file name leaves of those bytes for the extension (".opus") and a counter (" (10000)").
    static constexpr int kFileNameRoom = 16;

    // What one file's name is made from.
    struct Input
    {
        // The tags by field name ("artist", "albumartist", "album", "title", "track", "disc", "year",
        // "genre"), as the tool's tag record or a cue sheet gives them. Bytes that are not UTF-8 come as
        // PathBytes::Decode keeps them.
        QHash<QString, QString> tags;
        QString name;   // the file's own base name (GetFile::ParseStem)
        QString folder; // the name of the folder it was found in, one level
    };

    struct Options
    {
        // Names for a drive that refuses some characters (FatName): they become "_" already here, so
        // the folder levels and the file name are the ones such a drive keeps.
        bool fatNames = false;
    };

    // The pattern of a preset: "" for KeepName and Custom.
    static QString PresetText(Preset preset);

    // Today's rule: the file's own name, in the folder the output place gives.
    NamePattern() = default;

    // A pattern the user typed; nothing, and why in *error (one sentence for the user), when it is
    // empty, begins with "/", has an empty folder level or a level of only dots, holds a field not in
    // the list, an unclosed brace or a control character, or no field at all.
    static std::optional<NamePattern> Parse(const QString& text, QString* error = nullptr);

    // A preset, or the custom text for Custom; nothing (and why) when the custom text does not parse.
    static std::optional<NamePattern> For(Preset preset, const QString& customText, QString* error = nullptr);

    // True for today's rule: the output keeps the file's own name and its folder as the output place
    // gives it; Apply then gives the name unchanged.
    bool keepsName() const { return m_parts.isEmpty(); }

    // The relative path for one file: folder levels joined by "/", then the file name, no extension.
    QString Apply(const Input& input, const Options& options) const;
    QString Apply(const Input& input) const { return Apply(input, Options{}); }

    // The pattern as it was typed (a preset's own text for a preset), "" for today's rule.
    const QString& text() const { return m_text; }

private:
    enum class Field { None, Artist, AlbumArtist, Album, Title, Track, Disc, Year, Genre, Name, Folder };
    // The field a pattern names in braces, any case; None for a name that is no field.
    static Field fieldNamed(const QString& name);
    struct Token
    {
        Field field = Field::None; // None: literal text
        QString text;
    };
    using Part = QList<Token>;

    QString value(Field field, const Input& input) const;
    QString fallback(const Part& part, bool last, const Input& input) const;

    QString m_text;
    QList<Part> m_parts;
};
