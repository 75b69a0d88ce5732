#pragma once

#include <QString>
#include <QtGlobal>

// Where the outputs go ("Output files"); options.ini keeps the number.
enum class OutputLayout : qint32 {
    KeepFolders = 0,   // below a copy of each added folder's tree in the output folder
    AllInOne = 1,      // all in the output folder
    BesideOriginal = 2 // in each input's own folder; the output folder is not used
};

// What an output already at a file's name means ("If a file is already there"); options.ini keeps the
// number.
enum class ExistingOutput : qint32 {
    KeepBoth = 0, // the new output takes a free name beside it
    Skip = 1      // the file was converted before: it is left alone
};

// The option settings: every part of the program that converts reads them, the options dialog edits
// them and options.ini keeps them. The first four are 0 when the program starts.
struct OptionSettings
{
    qint16 SoundReminder = 0; // 0 plays the reminder sound at the end of a batch, 1 is silent
    qint16 MusicCutter = 0;   // 1 cuts every input to CutFrom .. CutFrom + CutDuration
    qint32 CutFrom = 0;       // whole seconds
    qint32 CutDuration = 0;   // whole seconds
    qint32 FilesAtOnce = 0;   // files converted at once: 1 to 8, 0 for one per processor core
    OutputLayout OutputFiles = OutputLayout::KeepFolders;
    ExistingOutput IfExists = ExistingOutput::KeepBoth;
    qint32 Loudness = 0;      // 0 off, 1 ReplayGain tags, 2 even out by track, 3 by album (LoudnessPlan)
    qint32 OutputNames = 0;   // NamePattern::Preset: 0 the file's name, 1 Artist/Album/NN Title, 2 Artist - Title,
                              // 3 the pattern below
    qint32 KeepDate = 0;      // 1: each output takes its input's modification time
    QString NamePattern = {}; // the user's own pattern, kept whichever names are chosen
};
