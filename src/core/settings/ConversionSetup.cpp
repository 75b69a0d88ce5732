#include "ConversionSetup.h"

#include "OptionsIni.h"
#include "SetupIni.h"
#include "convert/FormatTraits.h"
#include "convert/SelectorChoices.h"

#include <QDir>

namespace {
// One rule for every selector: a saved position counts only inside its list.
void apply(int& target, const std::optional<int>& saved, qsizetype count)
{
    if (saved && *saved >= 0 && *saved < count)
        target = *saved;
}
} // namespace

ConversionSetup ConversionSetup::Defaults(const ProgramPlace::Places& places)
{
    return {SelectorChoices::kDefaultFormat,   SelectorChoices::kDefaultBitrate, SelectorChoices::kDefaultRate,
            SelectorChoices::kDefaultChannels, places.defaultOutputFolder,       OptionSettings{}};
}

ConversionSetup ConversionSetup::Load(const ProgramPlace::Places& places)
{
    ConversionSetup setup = Defaults(places);
    if (SetupIni::Exists(places.settingsFolder)) {
        const SetupIni::Read saved = SetupIni::Load(places.settingsFolder);
        apply(setup.bitrateIndex, saved.bitrateIndex, SelectorChoices::Bitrates().size());
        apply(setup.rateIndex, saved.rateIndex, SelectorChoices::Rates().size());
        apply(setup.channelIndex, saved.channelIndex, SelectorChoices::Channels().size());
        apply(setup.formatIndex, saved.formatIndex, FormatTraits::Count());
        if (saved.outputFolder && !saved.outputFolder->isEmpty())
            setup.outputFolder = *saved.outputFolder;
    }
    OptionsIni::LoadOptions(places.settingsFolder, setup.options);
    return setup;
}

bool ConversionSetup::Save(const QString& settingsFolder) const
{
    SetupIni::Values v;
    v.bitrateIndex = bitrateIndex;
    v.rateIndex = rateIndex;
    v.channelIndex = channelIndex;
    v.outputFolder = outputFolder;
    v.formatIndex = formatIndex;
    // An installed program's configuration folder may not exist yet.
    QDir().mkpath(settingsFolder);
    return SetupIni::Save(settingsFolder, v);
}

CommandBuilder::Request ConversionSetup::Request(const QString& programFolder) const
{
    CommandBuilder::Request r;
    r.programFolder = programFolder;
    r.outputFolder = ProgramPlace::TypedOutputFolder(outputFolder);
    r.formatIndex = formatIndex;
    r.bitrate = SelectorChoices::Bitrates().value(bitrateIndex);
    r.sampleRate = SelectorChoices::Rates().value(rateIndex);
    r.channelIndex = channelIndex;
    r.options = options;
    return r;
}
