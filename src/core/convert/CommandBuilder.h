#pragma once

#include "filelist/CueSheet.h"
#include "settings/OptionSettings.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <optional>

// Builds the conversion tool's arguments for one input file from the settings of the moment.
namespace CommandBuilder {

struct Request
{
    QString programFolder; // holds data/conv.exe
    QString inputPath;     // the file the tool reads
    // The album image's track the input stands for, if any: the tool converts its range (a track alone
    // in its file is all of it) and tags it from the cue sheet.
    std::shared_ptr<const CueTrack> track;
    QString outputFolder; // the output folder text as the user left it
    int formatIndex = 1;  // 0 MP3, 1 WMA, 2 OGG, 3 WAV, 4 FLAC, 5 AC3, 6 AAC, 7 AMR, 8 OPUS, 9 M4A
    QString bitrate;      // kilobits per second, as shown
    QString sampleRate;   // hertz, as shown
    int channelIndex = 1; // 0 Mono, 1 Stereo
    OptionSettings options;
    // The output path chosen for this file (see OutputNames); empty means the one OutputPath gives.
    QString outputPath;
    // Loudness: the gain applied before the encoder (dB), and the ReplayGain tags the output gets.
    std::optional<double> gainDb;
    QList<QPair<QByteArray, QByteArray>> gainTags;
};

// The extension of a format position, "" outside 0 to 9.
QString Extension(int formatIndex);

// Where the output of this request would go: the output folder (with one trailing "/"), the input's
// whole name without its last extension ("03 Title" for a track of an image, TrackName), and the
// format's extension; "" for a format position outside 0 to 9. Whether that name is free is for
// OutputNames to say.
QString OutputPath(const Request& r);

// What the tool is run with, the program first, or nothing for a format position outside 0 to 9.
// Each argument reaches the tool as it is: no shell and no line to split on the way.
QList<QByteArray> BuildArguments(const Request& r);

// The loudness analysis of the request's input as its conversion would hand the audio to the encoder
// (the cut, the rate, the channels): the conversion's arguments with "-analyse PEAK" before the output,
// which then names the format only. peak: "sample_peak" or "true_peak".
QList<QByteArray> BuildAnalysisArguments(const Request& r, const char* peak);

// The same as one command line, for showing: paths quoted so that CommandLineSplit::split gives the
// arguments back exactly, whatever they hold.
QByteArray BuildCommandLine(const Request& r);

} // namespace CommandBuilder
