#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// How long an audio file is: its sample rate and its samples per channel, or kUnknownSamples where its
// header gives only the rate (MP3, Ogg).
struct AudioLength
{
    static constexpr qint64 kUnknownSamples = -1;
    int rate = 0;
    qint64 samples = 0;
};

// What a cue sheet says of one track, for its output's tags. The image's own tags fill what is empty.
struct CueTags
{
    QString title;
    QString performer; // the track's, else the album's
    QString album;
    QString albumArtist;
    QString date;
    QString genre;
    int track = 0;
    int trackTotal = 0;
    int disc = 0;      // 0: the sheet does not say
    int discTotal = 0; // 0: the sheet does not say

    // As the conversion tool's tag names ("title", "artist", "album", "album_artist", "date", "genre",
    // "track" as "N/TOTAL", "disc" as "N" or "N/TOTAL"), the empty ones left out. Never a ReplayGain
    // value: the sheet's would not fit the converted file.
    QList<QPair<QString, QString>> Pairs() const;
};

// One track of an album image: the audio file it lies in and its range there, in samples at that
// file's rate. A track alone in its file is the whole file (the sheet only tags it).
struct CueTrack
{
    int number = 0; // as the sheet numbers it
    QString audioPath;
    qint64 start = 0; // its first sample
    qint64 end = -1;  // one past its last sample; -1 for the end of the file
    bool wholeFile = false;
    CueTags tags;
};

// A track as a sheet places it, before any check: the file it names and its INDEX points, in CD frames
// (1/75 s) for a cue sheet's text, in samples for FLAC's own CUESHEET block.
struct CuePoints
{
    QString fileName;                  // as the sheet writes it, for the reasons
    QString audioPath;                 // the file found for it; empty when there is none
    QList<QPair<int, qint64>> indexes; // INDEX number and place, in the sheet's order
    CueTags tags;
};

// A cue sheet read and checked: either the tracks of its album, each a sample range of its audio
// file, or the reason the image cannot be cut and converts as one file. Track N runs from its INDEX 01
// to the next track's INDEX 01, so a pregap (INDEX 00) ends the track before, as a CD player plays it;
// the audio before the first track's INDEX 01 starts the first track, and the last runs to the end:
// the tracks joined are the whole file, sample for sample.
class CueSheet
{
public:
    enum class Unit { CdFrames, Samples };
    // The rate and length of an audio file; nothing when they cannot be read.
    using LengthReader = std::function<std::optional<AudioLength>(const QString& audioPath)>;

    // A .cue file. Its FILE lines are looked for beside it; one naming a file that is not there (the
    // image was converted after ripping, or the sheet keeps the ripping machine's path) finds the audio
    // file of that base name.
    static CueSheet FromFile(const QString& cuePath, const LengthReader& lengthOf);
    // The text of a cue sheet (bytes in any encoding CueText reads) whose FILE lines are looked for in
    // folder.
    static CueSheet FromText(const QByteArray& bytes, const QString& folder, const LengthReader& lengthOf);
    // A sheet an image carries in a CUESHEET tag: every track lies in that image, whatever its FILE says.
    static CueSheet FromEmbedded(const QByteArray& bytes, const QString& imagePath, std::optional<AudioLength> length);
    // Tracks placed by other means (FLAC's CUESHEET block), checked and cut as a sheet's are.
    static CueSheet FromPoints(QList<CuePoints> points, Unit unit, const LengthReader& lengthOf);

    bool usable() const { return m_reason.isEmpty(); }
    // Why the image converts as one file: "track 03 starts before track 02", "the cue sheet cannot be
    // read: syntax error", ... Empty when usable.
    const QString& reason() const { return m_reason; }
    // The text's encoding when it was not UTF-8 ("Windows-1252"); empty otherwise.
    const QString& encoding() const { return m_encoding; }
    const QList<CueTrack>& tracks() const { return m_tracks; }
    // The audio files the tracks lie in, each once, in the tracks' order.
    QStringList audioFiles() const;

private:
    static CueSheet failed(const QString& reason);
    // The text through the parser: the tracks as it places them, or the parser's complaint.
    static CueSheet parse(const QByteArray& bytes, QList<CuePoints>& points);
    // Appends one file's tracks, points[first..last]; why they cannot be cut, or empty.
    QString cutFile(const QList<CuePoints>& points, qsizetype first, qsizetype last, Unit unit,
                    const LengthReader& lengthOf);

    QString m_reason;
    QString m_encoding;
    QList<CueTrack> m_tracks;
};
