// The selectors a format greys out are exactly those its command line does not take.
#include "convert/FormatTraits.h"
#include "convert/CommandBuilder.h"

#include <gtest/gtest.h>

using FormatTraits::Selector;

namespace {

CommandBuilder::Request request(int format)
{
    CommandBuilder::Request r;
    r.programFolder = QStringLiteral("/app");
    r.inputPath = QStringLiteral("/music/song.wav");
    r.outputFolder = QStringLiteral("/out");
    r.formatIndex = format;
    r.bitrate = QStringLiteral("192");
    r.sampleRate = QStringLiteral("44100");
    r.channelIndex = 1;
    return r;
}

// Whether moving the selector changes the command line the format gets.
bool lineFollows(int format, Selector selector)
{
    CommandBuilder::Request moved = request(format);
    switch (selector) {
    case Selector::Bitrate:
        moved.bitrate = QStringLiteral("32");
        break;
    case Selector::Rate:
        moved.sampleRate = QStringLiteral("8000");
        break;
    case Selector::Channels:
        moved.channelIndex = 0;
        break;
    }
    return CommandBuilder::BuildCommandLine(moved) != CommandBuilder::BuildCommandLine(request(format));
}

TEST(FormatTraits, EachSelectorIsUsedExactlyWhenTheTemplateTakesIt)
{
    ASSERT_EQ(FormatTraits::Count(), 10);
    EXPECT_EQ(FormatTraits::Names(),
              QStringList({"MP3", "WMA", "OGG", "WAV", "FLAC", "AC3", "AAC", "AMR", "OPUS", "M4A"}));
    for (int format = 0; format < FormatTraits::Count(); ++format) {
        const QString name = FormatTraits::Names()[format];
        ASSERT_FALSE(CommandBuilder::Extension(format).isEmpty()) << format;
        EXPECT_EQ(CommandBuilder::Extension(format), QLatin1Char('.') + name.toLower()) << format;
        for (Selector s : {Selector::Bitrate, Selector::Rate, Selector::Channels}) {
            const std::string what = name.toStdString() + " selector " + std::to_string(int(s));
            EXPECT_EQ(FormatTraits::Uses(format, s), lineFollows(format, s)) << what;
            const QString tip = FormatTraits::IgnoredTip(format, s);
            EXPECT_EQ(tip.isEmpty(), FormatTraits::Uses(format, s)) << what;
            if (!tip.isEmpty()) {
                EXPECT_TRUE(tip.startsWith(name, Qt::CaseInsensitive)) << what << ": " << tip.toStdString();
            }
        }
    }
    EXPECT_TRUE(CommandBuilder::Extension(FormatTraits::Count()).isEmpty()) << "one list, one length";
}

TEST(FormatTraits, TipsSayWhatTheFormatDoesInstead)
{
    EXPECT_EQ(FormatTraits::IgnoredTip(4, Selector::Rate),
              QStringLiteral("FLAC is lossless: it keeps the input's rate and channels"));
    EXPECT_EQ(FormatTraits::IgnoredTip(7, Selector::Bitrate), QStringLiteral("AMR is always 8000 Hz, 7.4 kbps, mono"));
    EXPECT_TRUE(CommandBuilder::BuildCommandLine(request(7)).contains(" -ar 8000 -ab 7.4k -ac 1 "));
    EXPECT_TRUE(FormatTraits::IgnoredTip(2, Selector::Channels).contains(QLatin1String("stereo")));
    EXPECT_TRUE(CommandBuilder::BuildCommandLine(request(2)).contains(" -ac 2 "));
    EXPECT_EQ(FormatTraits::IgnoredTip(8, Selector::Rate), QStringLiteral("Opus is always 48000 Hz"));
    // A position a newer build wrote is no format: nothing is greyed out for it.
    for (int outside : {-1, 10})
        EXPECT_TRUE(FormatTraits::Uses(outside, Selector::Bitrate) &&
                    FormatTraits::IgnoredTip(outside, Selector::Rate).isEmpty());
}

} // namespace
