#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The album image the tests make: three tones whose lengths are no whole number of CD frames (588
// samples at 44.1 kHz), and a cue sheet for it with audio before track 1's INDEX 01 and a pregap
// (INDEX 00) before track 3.
namespace AlbumImageFiles {

inline constexpr qint64 kToneSamples[] = {145530, 119511, 181824};
inline constexpr qint64 kImageSamples = kToneSamples[0] + kToneSamples[1] + kToneSamples[2];
// Where the sheet puts each track's INDEX 01: 00:04:00 and 00:08:00 are 300 and 600 frames.
inline constexpr qint64 kTrack2 = 300 * 588;
inline constexpr qint64 kTrack3 = 600 * 588;

// The sheet's text in UTF-8, its FILE line naming file and its first track titled firstTitle.
QByteArray Sheet(const QString& file, const QString& firstTitle = QStringLiteral("Low"));

// The three tones as a 16-bit stereo WAV file at 44.1 kHz, by the system's ffmpeg; and, when flacPath
// is given, the same as FLAC. False when ffmpeg failed.
bool Make(const QString& wavPath, const QString& flacPath = QString());

// The decoded samples of files one after another, as 16-bit PCM, by the system's ffmpeg.
QByteArray Decoded(const QStringList& files);
QByteArray Md5(const QByteArray& bytes);

// Runs a program to its end and gives its standard output; status gets its exit code, -1 when it did
// not end normally.
QByteArray RunProgram(const QString& program, const QStringList& args, int* status = nullptr);

bool Write(const QString& path, const QByteArray& bytes);

} // namespace AlbumImageFiles
