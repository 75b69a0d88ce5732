#include "cli/ProgressPrinter.h"
#include "cli/SafeText.h"
#include "filelist/PathBytes.h"

#include <QByteArray>
#include <gtest/gtest.h>

namespace {

std::string s(const QString& text)
{
    return text.toStdString();
}

TEST(SafeText, ControlsAndHiddenFormatCharactersAreShownEscapedAndNothingElseChanges)
{
    EXPECT_EQ(s(SafeText::Escape(QStringLiteral("a\nb\rc\td"))), "a\\nb\\rc\\td");
    EXPECT_EQ(s(SafeText::Escape(QStringLiteral("\x1b[2J\x07.flac"))), "\\e[2J\\x07.flac");
    EXPECT_EQ(s(SafeText::Escape(QString(QChar(0x7f)) + QChar(0x9b) + QStringLiteral("x"))), "\\x7F\\u009Bx");
    // A right-to-left override would show "flac.exe" reversed.
    EXPECT_EQ(s(SafeText::Escape(QStringLiteral("song\u202Ecalf.mp3"))), "song\\u202Ecalf.mp3");
    const QString plain = QStringLiteral("Björk – 曲 \\ 01.flac");
    EXPECT_EQ(SafeText::Escape(plain), plain);
    // Bytes that are not UTF-8 print as themselves: two names that differ only there never look alike,
    // and a character beyond the first plane is no byte.
    EXPECT_EQ(s(SafeText::Escape(PathBytes::Decode("caf\xe9.flac"))), "caf\\xE9.flac");
    EXPECT_EQ(s(SafeText::Escape(PathBytes::Decode("caf\xe8.flac"))), "caf\\xE8.flac");
    EXPECT_EQ(s(SafeText::Escape(QStringLiteral("🎵.flac"))), "🎵.flac");
}

TEST(SafeText, WideCharactersTakeTwoColumnsAndElidingNeverPassesTheWidth)
{
    EXPECT_EQ(SafeText::Columns(QStringLiteral("abc")), 3);
    EXPECT_EQ(SafeText::Columns(QStringLiteral("曲曲")), 4);
    EXPECT_EQ(s(SafeText::Elide(QStringLiteral("abcdefgh"), 6)), "abc...");
    EXPECT_EQ(s(SafeText::Elide(QStringLiteral("abcdef"), 6)), "abcdef");
    const QString cut = SafeText::Elide(QStringLiteral("曲曲曲曲曲"), 8);
    EXPECT_LE(SafeText::Columns(cut), 8);
    EXPECT_EQ(s(cut), "曲曲..."); // a third would need 9
}

// A printer whose outputs and clock the test holds.
struct Printed
{
    explicit Printed(ProgressPrinter::Style style, int columns = 80)
        : printer(
              style, columns, [this](const QByteArray& b) { out += b; }, [this](const QByteArray& b) { err += b; },
              [this] { return now; })
    {}
    QByteArray out;
    QByteArray err;
    qint64 now = 0;
    ProgressPrinter printer;
};

TEST(ProgressPrinter, OnATerminalOneLineIsRedrawnWithPercentCountsTimeLeftAndNamesWithinTheWidth)
{
    Printed p(ProgressPrinter::Style::Line, 80);
    p.printer.begin(4);
    p.printer.fileStarted(QStringLiteral("/m/first.flac"));
    p.printer.fileStarted(QStringLiteral("/m/evil\x1b]0;owned\x07.flac"));
    p.now = 10000;
    p.printer.fileProgress(QStringLiteral("/m/first.flac"), 50);
    p.printer.fileEnded(QStringLiteral("/m/first.flac"), BatchDriver::FileEnd::Converted, {});
    p.now = 20000;
    p.printer.fileProgress(QStringLiteral("/m/evil\x1b]0;owned\x07.flac"), 100);
    // Two of four files after 20 s: 20 s more.
    EXPECT_EQ(s(p.printer.statusLine()), " 50% 1/4, 0:20 left  evil\\e]0;owned\\x07.flac");
    EXPECT_TRUE(p.out.startsWith("\r"));
    EXPECT_TRUE(p.out.endsWith(" 50% 1/4, 0:20 left  evil\\e]0;owned\\x07.flac\x1b[K"));
    EXPECT_FALSE(p.out.contains('\n'));
    EXPECT_EQ(p.out.count('\x1b'), p.out.count("\x1b[K")) << "only our own erase reaches the terminal";

    p.printer.fileEnded(QStringLiteral("/m/evil\x1b]0;owned\x07.flac"), BatchDriver::FileEnd::Failed,
                        QStringLiteral("Invalid data found when processing input"));
    EXPECT_EQ(s(QString::fromUtf8(p.err)),
              "veltra-wma-converter: /m/evil\\e]0;owned\\x07.flac: Invalid data found when processing input\n");
    for (int i = 0; i < 6; ++i)
        p.printer.fileStarted(QStringLiteral("/m/a rather long name of a track number %1.flac").arg(i));
    EXPECT_LE(SafeText::Columns(p.printer.statusLine()), 79);
    EXPECT_TRUE(p.printer.statusLine().startsWith(QStringLiteral(" 50% 2/4, 1 failed, 0:20 left  a rather")));
    EXPECT_TRUE(p.printer.statusLine().endsWith(QStringLiteral("...")));
}

TEST(ProgressPrinter, PausedTimeIsLeftOutOfTheTimeLeftAndInTheBackgroundNothingIsDrawn)
{
    Printed p(ProgressPrinter::Style::Line, 80);
    bool foreground = true;
    p.printer.setForeground([&] { return foreground; });
    p.printer.begin(2);
    p.printer.fileStarted(QStringLiteral("/m/a.flac"));
    p.now = 5000;
    p.printer.setPaused(true);
    EXPECT_EQ(s(p.printer.statusLine()), "  0% 0/2, paused  a.flac");
    p.now = 600000; // ten minutes held
    p.printer.setPaused(false);
    p.now = 10000 + 595000;
    p.printer.fileProgress(QStringLiteral("/m/a.flac"), 100);
    // 10 s converting for half of the batch: 10 s more, whatever the pause lasted.
    EXPECT_EQ(s(p.printer.statusLine()), " 50% 0/2, 0:10 left  a.flac");

    // bg: the line is not drawn, nor cleared, until the run is in the foreground again.
    foreground = false;
    const QByteArray before = p.out;
    p.printer.fileEnded(QStringLiteral("/m/a.flac"), BatchDriver::FileEnd::Converted, {});
    p.printer.fileStarted(QStringLiteral("/m/b.flac"));
    EXPECT_EQ(p.out, before);
    foreground = true;
    p.printer.fileProgress(QStringLiteral("/m/b.flac"), 50);
    EXPECT_TRUE(p.out.endsWith(" 75% 1/2, 0:04 left  b.flac\x1b[K")) << p.out.toStdString();
}

TEST(ProgressPrinter, ElsewhereEachFileIsOneLineAsItEndsAndASummaryCloses)
{
    Printed p(ProgressPrinter::Style::Plain);
    p.printer.refused(QStringLiteral("/gone.wav"), QStringLiteral("no such file or folder"));
    p.printer.begin(3);
    for (const char* f : {"/m/a.wav", "/m/b\nfake: ok.wav", "/m/c.wav"})
        p.printer.fileStarted(QString::fromUtf8(f));
    p.printer.fileEnded(QStringLiteral("/m/a.wav"), BatchDriver::FileEnd::Converted, {});
    p.printer.fileEnded(QStringLiteral("/m/b\nfake: ok.wav"), BatchDriver::FileEnd::Failed, QStringLiteral("bad\nx"));
    p.printer.fileEnded(QStringLiteral("/m/c.wav"), BatchDriver::FileEnd::Skipped, {});
    p.now = 65000;
    p.printer.finish(0, QStringLiteral("/out"));
    EXPECT_EQ(s(QString::fromUtf8(p.out)), "/gone.wav: failed: no such file or folder\n"
                                           "/m/a.wav: ok\n"
                                           "/m/b\\nfake: ok.wav: failed: bad\\nx\n"
                                           "/m/c.wav: skipped\n"
                                           "1 of 4 files converted, 2 failed, 1 skipped in 1:05; output in /out.\n");
    EXPECT_EQ(p.err.count('\n'), 2);
    EXPECT_EQ(p.printer.failed(), 2);
}

TEST(ProgressPrinter, QuietPrintsOnlyFailuresAndAStopIsSaid)
{
    Printed quiet(ProgressPrinter::Style::Quiet);
    quiet.printer.begin(2);
    quiet.printer.fileStarted(QStringLiteral("/a.wav"));
    quiet.printer.fileEnded(QStringLiteral("/a.wav"), BatchDriver::FileEnd::Converted, {});
    quiet.printer.fileEnded(QStringLiteral("/b.wav"), BatchDriver::FileEnd::Failed, QStringLiteral("no"));
    quiet.printer.finish(0, QStringLiteral("/out"));
    EXPECT_TRUE(quiet.out.isEmpty());
    EXPECT_EQ(quiet.err, QByteArray("veltra-wma-converter: /b.wav: no\n"));

    Printed line(ProgressPrinter::Style::Line);
    line.printer.begin(2);
    line.printer.fileStarted(QStringLiteral("/a.wav"));
    line.printer.finish(2, QString());
    EXPECT_TRUE(line.out.endsWith("\r\x1b[KStopped: 0 of 2 files converted in 0:00.\n"));
    EXPECT_EQ(s(ProgressPrinter::Duration(3 * 3600 + 61)), "3:01:01");
}

} // namespace
