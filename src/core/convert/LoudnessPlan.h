#pragma once

#include "ToolRecord.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QPair>
#include <QString>
#include <optional>
#include <vector>

// The batch's side of loudness: what one file's analysis job recorded, the album each file belongs to,
// and the gain and ReplayGain tags each conversion then gets (ReplayGain 2.0: -18 LUFS, gains in dB,
// peaks linear; the tool writes them as each format keeps them).
//
// An album is the batch's files that share album artist (else artist) and album tags; a file without an
// album tag belongs to its folder's album; a lone file is its own album. Tags mode leaves the audio as it
// is and tags track and album gain and sample peak. Even out by track applies each file's own gain, by
// album one gain per album (quiet songs stay quiet within it); either lowers the gain where the true
// peak would pass -1 dBTP, no limiter, and tags what is then left to apply. A silent or too short file
// gets no gain and no tags.
namespace LoudnessPlan {

enum Mode { Off = 0, Tags = 1, Track = 2, Album = 3 };

inline constexpr double kTargetLufs = -18.0;
inline constexpr double kCeilingDbtp = -1.0;

// What one analysis job recorded (ToolRecord.h).
struct Analysis
{
    std::optional<ToolRecord::Loudness> loudness; // nothing: the record held no loudness line
    std::vector<double> blocks;
    QHash<QString, QString> tags; // lower-case keys

    // The loudness line came, after every block it counts.
    bool complete() const { return loudness && loudness->blocks == blocks.size(); }
};

// An analysis job's record lines, each without its "\n"; other lines are passed over.
Analysis Read(const QList<QByteArray>& lines);

// The album a file belongs to, as a key: its album artist (else its artist) and album tags, compared
// without regard to case or the spaces around them; its folder when it has no album tag.
QString AlbumKey(const QString& input, const QHash<QString, QString>& tags);

struct FileGain
{
    std::optional<double> gainDb;              // applied before the encoder
    QList<QPair<QByteArray, QByteArray>> tags; // REPLAYGAIN_* keys and values, for the tool's -metadata
    QString note;                              // "-6.5 dB", or why the file gets none
};

struct File
{
    QString input;
    Analysis analysis; // complete
};

// Tags, Track or Album; every file of the batch that was analysed, in the list's order.
QHash<QString, FileGain> Plan(Mode mode, const QList<File>& files);

// Whether a format (CommandBuilder's position) keeps gain tags: WAV, AC3, AAC and AMR do not.
bool KeepsTags(int formatIndex);

// The analysis's peak: the even-out modes need the true peak, tags the sample peak alone.
inline const char* PeakKind(Mode mode)
{
    return mode == Tags ? "sample_peak" : "true_peak";
}

} // namespace LoudnessPlan
