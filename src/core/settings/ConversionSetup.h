#pragma once

#include "OptionSettings.h"
#include "ProgramPlace.h"
#include "convert/CommandBuilder.h"

#include <QString>

// What a batch converts with: the four selectors' positions, the output folder as the user typed it and
// the Options values. The window shows one and makes one from its controls; the terminal mode starts
// from the saved one; a batch takes one when it starts and keeps it to its end.
struct ConversionSetup
{
    int formatIndex;  // FormatTraits::Names()
    int bitrateIndex; // SelectorChoices::Bitrates()
    int rateIndex;    // SelectorChoices::Rates()
    int channelIndex; // SelectorChoices::Channels()
    QString outputFolder;
    OptionSettings options;

    // The positions selected when nothing was saved, and the default output folder.
    static ConversionSetup Defaults(const ProgramPlace::Places& places);

    // setup.ini and options.ini from the settings folder. A field that is missing, or out of its list's
    // range, keeps its default alone; so does an empty folder.
    static ConversionSetup Load(const ProgramPlace::Places& places);

    // Writes setup.ini (the Options window writes options.ini); false after one message when it cannot.
    bool Save(const QString& settingsFolder) const;

    // The request a batch starts from: the chosen values as the tool takes them, and the output folder
    // as the tool gets it (ProgramPlace::TypedOutputFolder).
    CommandBuilder::Request Request(const QString& programFolder) const;
};
