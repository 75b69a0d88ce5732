#pragma once

#include <QtGlobal>

// The option settings: every part of the program that converts reads them, the options dialog edits
// them and options.ini keeps them. The first four are 0 when the program starts.
struct OptionSettings
{
    qint16 SoundReminder = 0; // 0 plays the reminder sound at the end of a batch, 1 is silent
    qint16 MusicCutter = 0;   // 1 cuts every input to CutFrom .. CutFrom + CutDuration
    qint32 CutFrom = 0;       // whole seconds
    qint32 CutDuration = 0;   // whole seconds
    qint32 FilesAtOnce = 0;   // files converted at once: 1 to 8, 0 for one per processor core
    qint32 OutputFiles = 0;   // 0 keep the folders, 1 all in one folder, 2 beside each original
    qint32 IfExists = 0;      // 0 keep both, 1 skip the file
    qint32 Loudness = 0;      // 0 off, 1 ReplayGain tags, 2 even out by track, 3 by album (LoudnessPlan)
};
