#include "TestSupport.h"
#include "convert/CommandBuilder.h"
#include "convert/FormatTraits.h"
#include "settings/FieldReader.h"
#include "settings/OptionsIni.h"
#include "settings/ProgramPlace.h"
#include "settings/SettingsLines.h"
#include "settings/SetupIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST(FieldReader, QuotedAndPlainFieldsAcrossLinesAndCommas)
{
    FieldReader r(QStringLiteral("  \"a, b\"  ,plain  ,\r\n\"x\"junk\n  last"));
    EXPECT_EQ(r.next(), QStringLiteral("a, b"));
    EXPECT_EQ(r.next(), QStringLiteral("plain"));
    EXPECT_EQ(r.next(), QString());
    EXPECT_EQ(r.next(), QStringLiteral("x"));
    EXPECT_EQ(r.next(), QStringLiteral("last"));
    EXPECT_FALSE(r.next());
    FieldReader open(QStringLiteral("\"never closed"));
    EXPECT_EQ(open.next(), QStringLiteral("never closed"));
    EXPECT_FALSE(open.next());
}

TEST(OptionsFile, RoundTripInCrLfLinesWithThePatternQuotedLast)
{
    QTemporaryDir dir;
    OptionSettings saved{0,
                         1,
                         90,
                         120,
                         4,
                         OutputLayout::BesideOriginal,
                         ExistingOutput::Skip,
                         2,
                         3,
                         1,
                         QStringLiteral("{artist}/\"{title}\"")};
    ASSERT_TRUE(OptionsIni::SaveOptions(dir.path(), saved));
    EXPECT_EQ(readAll(OptionsIni::FilePath(dir.path())),
              QByteArray("0\r\n1\r\n90\r\n120\r\n4\r\n2\r\n1\r\n2\r\n3\r\n1\r\n\"{artist}/{title}\"\r\n"))
        << "a double quote would end the field: it is left out";
    OptionSettings loaded;
    OptionsIni::LoadOptions(dir.path(), loaded);
    EXPECT_EQ(loaded.SoundReminder, 0);
    EXPECT_EQ(loaded.MusicCutter, 1);
    EXPECT_EQ(loaded.CutFrom, 90);
    EXPECT_EQ(loaded.CutDuration, 120);
    EXPECT_EQ(loaded.FilesAtOnce, 4);
    EXPECT_EQ(loaded.OutputFiles, OutputLayout::BesideOriginal);
    EXPECT_EQ(loaded.IfExists, ExistingOutput::Skip);
    EXPECT_EQ(loaded.Loudness, 2);
    EXPECT_EQ(loaded.OutputNames, 3);
    EXPECT_EQ(loaded.KeepDate, 1);
    EXPECT_EQ(loaded.NamePattern, QStringLiteral("{artist}/{title}"));
}

TEST(OptionsFile, NamesDatesAndPatternKeepTheirLinesAfterTheLoudnessLineAndOlderFilesReadDefaults)
{
    const QByteArray seven = "0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n";
    struct Case
    {
        QByteArray bytes;
        qint32 loudness;
        qint32 names;
        qint32 keepDate;
        QString pattern;
    };
    for (const Case& c :
         {Case{seven, 0, 0, 0, {}}, Case{seven + "2\r\n", 2, 0, 0, {}},
          Case{seven + "2\r\n1\r\n1\r\n\"{title}\"\r\n", 2, 1, 1, QStringLiteral("{title}")},
          Case{seven + "x\r\n4\r\n2\r\n\r\n", 0, 0, 0, {}},
          Case{seven + "0\r\n3\r\n0\r\n\"{name} \xc3\xa9\"", 0, 3, 0, QStringLiteral("{name} \u00e9")}}) {
        OptionSettings o{
            0, 0, 0, 0, 0, OutputLayout::KeepFolders, ExistingOutput::KeepBoth, 3, 2, 1, QStringLiteral("old")};
        OptionsIni::ParseOptions(c.bytes, o);
        EXPECT_EQ(o.Loudness, c.loudness) << c.bytes.toStdString();
        EXPECT_EQ(o.OutputNames, c.names) << c.bytes.toStdString();
        EXPECT_EQ(o.KeepDate, c.keepDate) << c.bytes.toStdString();
        EXPECT_EQ(o.NamePattern, c.pattern) << c.bytes.toStdString();
    }
    // A Loudness out of range reads Off and leaves the lines after it where they are.
    QTemporaryDir dir;
    OptionSettings o;
    OptionsIni::ParseOptions(seven + "5\r\n2\r\n", o);
    EXPECT_EQ(o.Loudness, 0);
    EXPECT_EQ(o.OutputNames, 2);
    ASSERT_TRUE(OptionsIni::SaveOptions(dir.path(), o));
    EXPECT_EQ(readAll(OptionsIni::FilePath(dir.path())), seven + "0\r\n2\r\n0\r\n\"\"\r\n");
}

TEST(OptionsFile, OutputFilesAndIfExistsReadAsDefaultsWhenMissingOrOutOfRange)
{
    struct Case
    {
        QByteArray bytes;
        qint32 outputFiles;
        qint32 ifExists;
    };
    const QByteArray five = "0\r\n1\r\n90\r\n120\r\n3\r\n";
    for (const Case& c :
         {Case{"0\r\n1\r\n90\r\n120\r\n", 0, 0}, Case{five, 0, 0}, Case{five + "1\r\n", 1, 0},
          Case{five + "2\r\n1\r\n", 2, 1}, Case{five + "3\r\n2\r\n", 0, 0}, Case{five + "-1\r\n-1\r\n", 0, 0},
          Case{five + "x\r\n1\r\n", 0, 1}, Case{five + "1\n1\n", 1, 1}}) {
        OptionSettings o{0, 0, 0, 0, 5, OutputLayout::BesideOriginal, ExistingOutput::Skip};
        OptionsIni::ParseOptions(c.bytes, o);
        EXPECT_EQ(qint32(o.OutputFiles), c.outputFiles) << c.bytes.toStdString();
        EXPECT_EQ(qint32(o.IfExists), c.ifExists) << c.bytes.toStdString();
        EXPECT_EQ(o.CutDuration, 120) << "the lines before keep their meaning";
    }
}

TEST(OptionsFile, AFourLineFileOrAFifthValueOutOfRangeMeansAuto)
{
    struct Case
    {
        QByteArray bytes;
        qint32 filesAtOnce;
    };
    for (const Case& c : {Case{"0\r\n1\r\n90\r\n120\r\n", 0}, Case{"0\r\n1\r\n90\r\n120\r\n9\r\n", 0},
                          Case{"0\r\n1\r\n90\r\n120\r\n-1\r\n", 0}, Case{"0\r\n1\r\n90\r\n120\r\nx\r\n", 0},
                          Case{"0\r\n1\r\n90\r\n120\r\n8\r\n", 8}, Case{"0\r\n1\r\n90\r\n120\r\n1\r\n", 1}}) {
        OptionSettings o{0, 0, 0, 0, 5};
        OptionsIni::ParseOptions(c.bytes, o);
        EXPECT_EQ(o.FilesAtOnce, c.filesAtOnce) << c.bytes.toStdString();
        // The four lines before keep their meaning.
        EXPECT_EQ(o.MusicCutter, 1);
        EXPECT_EQ(o.CutFrom, 90);
        EXPECT_EQ(o.CutDuration, 120);
    }
}

TEST(OptionsFile, LoudnessIsTheEighthLineAndAnOlderFileOrAValueOutOfRangeReadsOff)
{
    const QByteArray seven = "0\r\n1\r\n90\r\n120\r\n3\r\n1\r\n1\r\n";
    for (const auto& [bytes, loudness] :
         {std::pair{seven, 0}, std::pair{seven + "1\r\n", 1}, std::pair{seven + "3\r\n", 3},
          std::pair{seven + "4\r\n", 0}, std::pair{seven + "-1\r\n", 0}, std::pair{seven + "x\r\n", 0}}) {
        OptionSettings o;
        o.Loudness = 2;
        OptionsIni::ParseOptions(bytes, o);
        EXPECT_EQ(o.Loudness, loudness) << bytes.toStdString();
        EXPECT_EQ(o.IfExists, ExistingOutput::Skip) << "the lines before keep their meaning";
    }
}

TEST(OptionsFile, NegativeCutValuesComeBackAsTheyWereSaved)
{
    QTemporaryDir dir;
    const OptionSettings saved{1, 1, -3660, -30};
    ASSERT_TRUE(OptionsIni::SaveOptions(dir.path(), saved));
    EXPECT_EQ(readAll(OptionsIni::FilePath(dir.path())),
              QByteArray("1\r\n1\r\n-3660\r\n-30\r\n0\r\n0\r\n0\r\n0\r\n0\r\n0\r\n\"\"\r\n"));
    OptionSettings loaded;
    OptionsIni::LoadOptions(dir.path(), loaded);
    EXPECT_EQ(loaded.CutFrom, -3660);
    EXPECT_EQ(loaded.CutDuration, -30);
    EXPECT_EQ(loaded.MusicCutter, 1);
}

TEST(OptionsFile, MissingFileMeansSoundOnAndCutterOff)
{
    QTemporaryDir dir;
    OptionSettings o{1, 1, 5, 6};
    OptionsIni::LoadOptions(dir.path(), o);
    EXPECT_EQ(o.SoundReminder, 0);
    EXPECT_EQ(o.MusicCutter, 0);
    EXPECT_EQ(o.CutFrom, 5) << "the range keeps its value";
}

TEST(OptionsFile, ShortEmptyDamagedOrOverRangeFilesLeaveSaneValues)
{
    struct Case
    {
        QByteArray bytes;
        OptionSettings expected;
    };
    const Case cases[] = {
        {"", {0, 0, 0, 0}},
        {"1\r\n", {1, 0, 0, 0}},
        {"1\n1\n30", {1, 1, 30, 0}},
        {"\"1\",\"0\",\"15\",\"45\"", {1, 0, 15, 45}},
        {"40000\r\n7\r\n-5\r\n99999999999\r\n", {0, 7, -5, 0}},
        {"-32768\r\n32767\r\n-2147483648\r\n2147483647\r\n", {-32768, 32767, -2147483647 - 1, 2147483647}},
        {"abc\r\n1.5\r\n2.5\r\n1e3\r\n", {0, 2, 2, 1000}},
        {QByteArray("\xff\xfe\0\0garbage", 11), {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        OptionSettings o;
        OptionsIni::ParseOptions(c.bytes, o);
        EXPECT_EQ(o.SoundReminder, c.expected.SoundReminder) << c.bytes.toStdString();
        EXPECT_EQ(o.MusicCutter, c.expected.MusicCutter) << c.bytes.toStdString();
        EXPECT_EQ(o.CutFrom, c.expected.CutFrom) << c.bytes.toStdString();
        EXPECT_EQ(o.CutDuration, c.expected.CutDuration) << c.bytes.toStdString();
    }
}

// A settings file that grows a text line after its numbers, as a naming pattern would be kept.
struct Grown
{
    qint64 count = 3;
    QString pattern = QStringLiteral("default");
};

QList<SettingsLine<Grown>> grownLines()
{
    using Line = SettingsLine<Grown>;
    return {Line::Number(
                0, 9, Line::Unreadable::MeansDefault, 3, [](const Grown& g) { return g.count; },
                [](Grown& g, qint64 v) { g.count = v; }),
            Line::Text(
                QStringLiteral("{name}"), [](const Grown& g) { return g.pattern; },
                [](Grown& g, const QString& t) { g.pattern = t; })};
}

TEST(SettingsLines, ATextLineIsQuotedReadsBackWithCommasAndAnOlderFileReadsItsDefault)
{
    Grown g;
    g.count = 7;
    g.pattern = QStringLiteral("{artist}/{album}, live");
    const QByteArray bytes = SettingsLines::Write(grownLines(), g);
    EXPECT_EQ(bytes, QByteArray("7\r\n\"{artist}/{album}, live\"\r\n"));
    Grown back;
    SettingsLines::Read(grownLines(), bytes, back);
    EXPECT_EQ(back.count, 7);
    EXPECT_EQ(back.pattern, g.pattern);

    // Written before the text line existed: the text is its default, the number still reads.
    Grown older;
    SettingsLines::Read(grownLines(), "5\r\n", older);
    EXPECT_EQ(older.count, 5);
    EXPECT_EQ(older.pattern, QStringLiteral("{name}"));

    // What would end the field never reaches the file, and the lines after keep their place.
    g.pattern = QStringLiteral("a\"b\nc");
    Grown cleaned;
    SettingsLines::Read(grownLines(), SettingsLines::Write(grownLines(), g), cleaned);
    EXPECT_EQ(cleaned.pattern, QStringLiteral("abc"));
    EXPECT_EQ(cleaned.count, 7);
}

TEST(SetupFile, DefaultsAreWrittenAsFiveQuotedCrLfLines)
{
    QTemporaryDir dir;
    SetupIni::Values v;
    v.outputFolder = dir.path() + QStringLiteral("/output");
    ASSERT_TRUE(SetupIni::Save(dir.path(), v));
    EXPECT_EQ(readAll(SetupIni::FilePath(dir.path())),
              "\"8\"\r\n\"1\"\r\n\"1\"\r\n\"" + v.outputFolder.toUtf8() + "\"\r\n\"1\"\r\n");
}

TEST(SetupFile, FolderWithACommaAndIndexesComeBack)
{
    QTemporaryDir dir;
    SetupIni::Values v{11, 0, 0, QStringLiteral("/home/ann/My, Music"), 7};
    ASSERT_TRUE(SetupIni::Save(dir.path(), v));
    const SetupIni::Read r = SetupIni::Load(dir.path());
    EXPECT_EQ(r.bitrateIndex, 11);
    EXPECT_EQ(r.rateIndex, 0);
    EXPECT_EQ(r.channelIndex, 0);
    EXPECT_EQ(r.outputFolder, QStringLiteral("/home/ann/My, Music"));
    EXPECT_EQ(r.formatIndex, 7);
}

TEST(SetupFile, TheLastTwoFormatPositionsComeBackAndTheNextIsNoFormat)
{
    QTemporaryDir dir;
    for (int format : {8, 9, 10}) {
        ASSERT_TRUE(SetupIni::Save(dir.path(), SetupIni::Values{8, 1, 1, dir.path(), format}));
        EXPECT_EQ(SetupIni::Load(dir.path()).formatIndex, format);
        EXPECT_EQ(CommandBuilder::Extension(format).isEmpty(), format >= FormatTraits::Count()) << format;
    }
    EXPECT_EQ(CommandBuilder::Extension(8), QStringLiteral(".opus"));
    EXPECT_EQ(CommandBuilder::Extension(9), QStringLiteral(".m4a"));
}

TEST(SetupFile, ShortAndDamagedFilesGiveWhatTheyHold)
{
    SetupIni::Read r = SetupIni::Parse("\"3\"\r\n\"4\"\r\n\"0\"\r\n");
    EXPECT_EQ(r.bitrateIndex, 3);
    EXPECT_EQ(r.channelIndex, 0);
    EXPECT_FALSE(r.outputFolder);
    EXPECT_FALSE(r.formatIndex);
    r = SetupIni::Parse("\"x\"\r\n\"99999\"\r\n\"-1\"\r\n\"\"\r\n\"2\"\r\n");
    EXPECT_FALSE(r.bitrateIndex);
    EXPECT_FALSE(r.rateIndex);
    EXPECT_EQ(r.channelIndex, -1);
    EXPECT_EQ(r.outputFolder, QString());
    EXPECT_EQ(r.formatIndex, 2);
}

TEST(SetupFile, UnwritableFileReportsFailureOnceWithTheFileAndTheReasonAndLeavesWhatWasThere)
{
    TestSupport::MsgBoxRecorder boxes;
    // A folder in the file's place cannot be replaced by a file, whoever runs the test.
    QTemporaryDir dir;
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("setup.ini")));
    EXPECT_FALSE(SetupIni::Save(dir.path(), SetupIni::Values{}));
    EXPECT_TRUE(QFileInfo(SetupIni::FilePath(dir.path())).isDir());
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(boxes.shown()[0].text.contains(SetupIni::FilePath(dir.path())));
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("Is a directory")))
        << boxes.shown()[0].text.toStdString();
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("options.ini")));
    EXPECT_FALSE(OptionsIni::SaveOptions(dir.path(), OptionSettings{}));
    EXPECT_EQ(boxes.shown().size(), 2);
    // A file where the settings folder should be.
    QFile(dir.filePath(QStringLiteral("file"))).open(QIODevice::WriteOnly);
    EXPECT_FALSE(SetupIni::Save(dir.filePath(QStringLiteral("file/cfg")), SetupIni::Values{}));
    ASSERT_EQ(boxes.shown().size(), 3);
    EXPECT_TRUE(boxes.shown()[2].text.contains(QStringLiteral("Not a directory")));
    // A folder the user may not write (root may write anywhere).
    if (::geteuid() != 0) {
        QDir(dir.path()).mkdir(QStringLiteral("locked"));
        ::chmod(QFile::encodeName(dir.filePath(QStringLiteral("locked"))).constData(), 0500);
        EXPECT_FALSE(OptionsIni::SaveOptions(dir.filePath(QStringLiteral("locked")), OptionSettings{}));
        ASSERT_EQ(boxes.shown().size(), 4);
        EXPECT_TRUE(boxes.shown()[3].text.contains(QStringLiteral("Permission denied")));
    }
    // Every level of a folder that is missing is made, and nothing is left beside the file.
    const QString deep = dir.filePath(QStringLiteral("a/b/c"));
    EXPECT_TRUE(OptionsIni::SaveOptions(deep, OptionSettings{}));
    EXPECT_EQ(QDir(deep).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("options.ini")});
}

TEST(SetupFile, AnOutputFolderThatIsNotAnAbsolutePathOfPrintableCharactersGivesWayToTheDefault)
{
    QTemporaryDir home;
    TestSupport::ScopedEnv homeVar("HOME", home.path().toUtf8());
    const auto folderIn = [](const QByteArray& field) {
        return SetupIni::Parse("\"8\"\r\n\"1\"\r\n\"1\"\r\n\"" + field + "\"\r\n\"1\"\r\n").outputFolder;
    };
    EXPECT_EQ(folderIn("~/Music/Converted"), home.path() + QStringLiteral("/Music/Converted"));
    EXPECT_EQ(folderIn("~"), home.path());
    EXPECT_EQ(folderIn("/srv/m\xc3\xa9"), QString::fromUtf8("/srv/m\xc3\xa9"));
    for (const QByteArray& garbage : {QByteArray("out"), QByteArray("~other/x"), QByteArray("/m/a\x01\x02"),
                                      QByteArray("/m/\xff\xfe"), QByteArray("/m/tab\there")})
        EXPECT_EQ(folderIn(garbage), std::nullopt) << garbage.toStdString();
}

TEST(OutputFolder, TildeIsTheHomeFolderAndARelativeFolderIsTakenAgainstIt)
{
    QTemporaryDir home;
    TestSupport::ScopedEnv homeVar("HOME", home.path().toUtf8());
    EXPECT_EQ(ProgramPlace::TypedOutputFolder(QStringLiteral("~/Music/Converted")),
              home.path() + QStringLiteral("/Music/Converted"));
    EXPECT_EQ(ProgramPlace::TypedOutputFolder(QStringLiteral("~")), home.path());
    EXPECT_EQ(ProgramPlace::TypedOutputFolder(QStringLiteral("Converted/../out")),
              home.path() + QStringLiteral("/out"));
    EXPECT_EQ(ProgramPlace::TypedOutputFolder(QStringLiteral("~x")), home.path() + QStringLiteral("/~x"));
    EXPECT_EQ(ProgramPlace::TypedOutputFolder(QStringLiteral("/srv/~/a")), QStringLiteral("/srv/~/a"));
    EXPECT_EQ(ProgramPlace::TypedOutputFolder(QString()), QString());
}

} // namespace
