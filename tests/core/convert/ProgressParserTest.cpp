#include "convert/ProgressParser.h"

#include <QFile>
#include <gtest/gtest.h>

using namespace ProgressParser;

namespace {

TEST(ProgressParser, DurationReadsAsWholeSecondsHalvesToEven)
{
    EXPECT_EQ(DurationSeconds(QStringLiteral("  Duration: 00:03:25.40 start")), 205);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: 00:00:02.50 x")), 2);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: 00:00:03.50 x")), 4);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: 01:02:03.00, start: 0.000000, bitrate: 1411 kb/s")), 3723);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: N/A, bitrate")), 0);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: 00:00:00.40 x")), 0);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: 00:0x:05.00 x")), 0);
    EXPECT_EQ(DurationSeconds(QStringLiteral("no marker here")), 0);
    EXPECT_EQ(DurationSeconds(QStringLiteral("Duration: ")), 0) << "nothing follows the marker";
}

TEST(ProgressParser, ElapsedTimeInEveryFormTheToolWrites)
{
    EXPECT_EQ(ElapsedSeconds(QStringLiteral("time=83.45 bitrate")), 83);
    EXPECT_EQ(ElapsedSeconds(QStringLiteral("size= 12kB time=00:01:23.45 bitrate=128.0kbits/s")), 83);
    EXPECT_EQ(ElapsedSeconds(QStringLiteral("time=00:00:02.50 ")), 2);
    EXPECT_EQ(ElapsedSeconds(QStringLiteral("time= x")), 0) << "a marker with no number is 0 seconds";
    EXPECT_EQ(ElapsedSeconds(QStringLiteral("time=12 time=40")), 12) << "the first report counts";
    EXPECT_FALSE(ElapsedSeconds(QStringLiteral("size=N/A time=N/A bitrate=N/A")));
    EXPECT_FALSE(ElapsedSeconds(QStringLiteral("ends with time=")));
    EXPECT_FALSE(ElapsedSeconds(QStringLiteral("tim")));
}

TEST(ProgressParser, CaptionIsTheFirstFourCharactersCutNotRounded)
{
    EXPECT_EQ(Caption(12.3456), QStringLiteral("12.3%"));
    EXPECT_EQ(Caption(66.666), QStringLiteral("66.6%"));
    EXPECT_EQ(Caption(7.25), QStringLiteral("7.25%"));
    EXPECT_EQ(Caption(5), QStringLiteral("5%"));
    EXPECT_EQ(Caption(0), QStringLiteral("0%"));
    EXPECT_EQ(Caption(0.00001), QStringLiteral("0.00%"));
}

TEST(ProgressParser, LengthIsFoundOnceAndTheReportDrawsTheBar)
{
    OptionSettings options;
    qint32 total = 0;
    EXPECT_FALSE(Parse(QStringLiteral("Input #0, wav\n  Duration: 00:03:20.00, start"), total, options));
    EXPECT_EQ(total, 200);
    auto d = Parse(QStringLiteral("size= 1kB time=00:00:50.00 bitrate"), total, options);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->caption, QStringLiteral("25%"));
    EXPECT_EQ(d->barWidth, 90);
    // A later length in the same file's output is ignored.
    Parse(QStringLiteral("Duration: 00:00:10.00 x"), total, options);
    EXPECT_EQ(total, 200);
    d = Parse(QStringLiteral("time=00:03:20.00 x"), total, options);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->caption, QStringLiteral("100%"));
    EXPECT_EQ(d->barWidth, kBarFullWidth);
    d = Parse(QStringLiteral("time=999 x"), total, options);
    EXPECT_EQ(d->barWidth, kBarFullWidth);
}

TEST(ProgressParser, TimeInTheSamePieceAsTheDurationIsReadByItself)
{
    OptionSettings options;
    qint32 total = 0;
    const auto d = Parse(QStringLiteral("Duration: 00:00:40.00 x time=10 y"), total, options);
    ASSERT_TRUE(d);
    EXPECT_EQ(total, 40);
    EXPECT_EQ(d->caption, QStringLiteral("25%"));
}

TEST(ProgressParser, CutLengthWinsOverTheReportedOne)
{
    OptionSettings options;
    options.MusicCutter = 1;
    options.CutDuration = 20;
    qint32 total = 0;
    const auto d = Parse(QStringLiteral("Duration: 00:03:20.00, x time=00:00:05.00 x"), total, options);
    EXPECT_EQ(total, 20);
    ASSERT_TRUE(d);
    EXPECT_EQ(d->caption, QStringLiteral("25%"));
}

TEST(ProgressParser, NothingIsShownWhileTheLengthIsUnknown)
{
    OptionSettings options;
    qint32 total = 0;
    EXPECT_FALSE(Parse(QStringLiteral("time=00:00:05.00 x"), total, options));
    EXPECT_EQ(total, 0);
}

// Real FFmpeg 5.1 output (a 30-second WAV to MP3, read at six times real speed), fed in pieces cut at every size from 1
// to 64 characters: a marker cut in two is missed, never misread, and every report that is shown is one the tool really
// wrote.
TEST(ProgressParser, RecordedToolOutputInArbitraryPiecesNeverMisreads)
{
    QFile f(QStringLiteral(VELTRA_TEST_DATA "/ffmpeg51-wav-to-mp3.txt"));
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QString all = QString::fromUtf8(f.readAll());
    OptionSettings options;
    for (int size = 1; size <= 64; ++size) {
        qint32 total = 0;
        QString lastCaption;
        for (qsizetype at = 0; at < all.size(); at += size) {
            const auto d = Parse(all.mid(at, size), total, options);
            if (d) {
                EXPECT_GE(d->barWidth, 0);
                EXPECT_LE(d->barWidth, kBarFullWidth);
                lastCaption = d->caption;
            }
        }
        EXPECT_TRUE(total == 0 || total == 30) << "size " << size << " read a length of " << total;
        EXPECT_TRUE(lastCaption.isEmpty() || total == 30) << "size " << size;
    }
    qint32 total = 0;
    std::optional<Display> last;
    for (const QString& piece : all.split(QLatin1Char('\r'))) {
        if (auto d = Parse(piece, total, options))
            last = d;
    }
    ASSERT_TRUE(last);
    EXPECT_EQ(last->caption, QStringLiteral("100%"));
}

} // namespace
