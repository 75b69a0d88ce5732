#include "cli/BatchOptions.h"
#include "settings/OptionsIni.h"
#include "settings/SetupIni.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QList<QByteArray> argv(std::initializer_list<const char*> words)
{
    QList<QByteArray> out{"veltra-wma-converter", "--convert"};
    for (const char* w : words)
        out.append(QByteArray(w));
    return out;
}

CommandBuilder::Request defaults()
{
    CommandBuilder::Request r;
    r.programFolder = QStringLiteral("/opt/veltra");
    r.outputFolder = QStringLiteral("/home/u/Music/out");
    r.formatIndex = 1;
    r.bitrate = QStringLiteral("192");
    r.sampleRate = QStringLiteral("44100");
    r.channelIndex = 1;
    r.options.MusicCutter = 1;
    r.options.CutFrom = 5;
    r.options.CutDuration = 7;
    r.options.FilesAtOnce = 3;
    return r;
}

BatchOptions::Parsed parse(std::initializer_list<const char*> words)
{
    return BatchOptions::Parse(argv(words), defaults(), QStringLiteral("/work/here"));
}

TEST(BatchOptions, OnlyAFirstConvertWordAsksForTheTerminalMode)
{
    EXPECT_TRUE(BatchOptions::Requested({"prog", "--convert", "a.flac"}));
    EXPECT_TRUE(BatchOptions::Requested({"prog", "-c"}));
    // The window's arguments are paths, whatever they look like.
    EXPECT_FALSE(BatchOptions::Requested({"prog", "a.flac", "--convert"}));
    EXPECT_FALSE(BatchOptions::Requested({"prog", "-x.flac"}));
    EXPECT_FALSE(BatchOptions::Requested({"prog", "--convert=yes"}));
    EXPECT_FALSE(BatchOptions::Requested({"prog"}));
    // Help and version answer on the terminal, with no display, whatever comes after them.
    for (const char* word : {"--help", "-h", "--version", "-V"})
        EXPECT_TRUE(BatchOptions::Requested({"prog", word})) << word;
    EXPECT_FALSE(BatchOptions::Requested({"prog", "a.flac", "--help"}));
}

TEST(BatchOptions, WithNoOptionsTheSavedSettingsConvertAndPathsBecomeAbsolute)
{
    const auto p = parse({"song.flac", "../Music", "/abs/x.wav"});
    ASSERT_EQ(p.action, BatchOptions::Parsed::Action::Convert) << p.message.toStdString();
    EXPECT_EQ(p.paths, (QStringList{"/work/here/song.flac", "/work/Music", "/abs/x.wav"}));
    EXPECT_EQ(p.request.formatIndex, 1);
    EXPECT_EQ(p.request.bitrate, QStringLiteral("192"));
    EXPECT_EQ(p.request.outputFolder, QStringLiteral("/home/u/Music/out"));
    EXPECT_EQ(p.request.options.FilesAtOnce, 3);
    EXPECT_EQ(p.request.options.CutDuration, 7);
    EXPECT_FALSE(p.quiet);
}

TEST(BatchOptions, EveryOptionSetsItsSetting)
{
    const auto p = parse({"--format", "OPUS", "--bitrate", "64", "--rate=22050", "--channels", "1", "--output", "phone",
                          "-j", "auto", "--cut", "60,30", "--folders", "beside", "--existing", "skip", "-q", "in"});
    ASSERT_EQ(p.action, BatchOptions::Parsed::Action::Convert) << p.message.toStdString();
    EXPECT_EQ(p.request.formatIndex, 8);
    EXPECT_EQ(p.request.bitrate, QStringLiteral("64"));
    EXPECT_EQ(p.request.sampleRate, QStringLiteral("22050"));
    EXPECT_EQ(p.request.channelIndex, 0);
    // Against the current folder, as any terminal program takes it; never the home folder.
    EXPECT_EQ(p.request.outputFolder, QStringLiteral("/work/here/phone"));
    EXPECT_EQ(p.request.options.FilesAtOnce, 0);
    EXPECT_EQ(p.request.options.MusicCutter, 1);
    EXPECT_EQ(p.request.options.CutFrom, 60);
    EXPECT_EQ(p.request.options.CutDuration, 30);
    EXPECT_EQ(p.request.options.OutputFiles, OutputLayout::BesideOriginal);
    EXPECT_EQ(p.request.options.IfExists, ExistingOutput::Skip);
    EXPECT_TRUE(p.quiet);

    const auto flat = parse({"--folders", "flat", "--existing", "keep", "--cut", "off", "--output=~/x", "a"});
    ASSERT_EQ(flat.action, BatchOptions::Parsed::Action::Convert);
    EXPECT_EQ(flat.request.options.OutputFiles, OutputLayout::AllInOne);
    EXPECT_EQ(flat.request.options.IfExists, ExistingOutput::KeepBoth);
    EXPECT_EQ(flat.request.options.MusicCutter, 0);
    EXPECT_EQ(flat.request.outputFolder, QDir::homePath() + QStringLiteral("/x"));
    EXPECT_EQ(parse({"--folders", "keep", "a"}).request.options.OutputFiles, OutputLayout::KeepFolders);
}

TEST(BatchOptions, KeepDatesIsAFlagAndNamesTakeAPresetsPatternOneOfTheUsersOrKeep)
{
    EXPECT_EQ(parse({"a"}).request.options.KeepDate, 0);
    const auto dated = parse({"--keep-dates", "a"});
    ASSERT_EQ(dated.action, BatchOptions::Parsed::Action::Convert) << dated.message.toStdString();
    EXPECT_EQ(dated.request.options.KeepDate, 1);
    EXPECT_EQ(dated.paths, QStringList{"/work/here/a"}) << "the flag takes no value";

    struct Case
    {
        const char* pattern;
        qint32 names;
        const char* kept; // the pattern kept for the user's own
    };
    for (const Case& c :
         {Case{"keep", 0, ""}, Case{"KEEP", 0, ""}, Case{"{albumartist}/{album}/{track} {title}", 1, ""},
          Case{"{artist}/{album}/{track} {title}", 3, "{artist}/{album}/{track} {title}"},
          Case{"{artist} - {title}", 2, ""}, Case{"{year}/{album} - {title}", 3, "{year}/{album} - {title}"}}) {
        const auto p = parse({"--names", c.pattern, "a"});
        ASSERT_EQ(p.action, BatchOptions::Parsed::Action::Convert) << c.pattern << p.message.toStdString();
        EXPECT_EQ(p.request.options.OutputNames, c.names) << c.pattern;
        EXPECT_EQ(p.request.options.NamePattern, QLatin1String(c.kept)) << c.pattern;
    }
    for (const char* bad : {"{artist}/{nothing}", "plain", "/{title}", ""}) {
        const auto p = parse({"--names", bad, "a"});
        EXPECT_EQ(p.action, BatchOptions::Parsed::Action::UsageError) << bad;
        EXPECT_TRUE(p.message.startsWith(QStringLiteral("--names: "))) << p.message.toStdString();
    }
    const QString help = BatchOptions::HelpText();
    EXPECT_TRUE(help.contains(QStringLiteral("      --keep-dates       each output takes"))) << help.toStdString();
    EXPECT_TRUE(help.contains(QStringLiteral("--names PATTERN")));
}

TEST(BatchOptions, AfterTheEndOfOptionsADashNameIsAFile)
{
    const auto p = parse({"--format", "mp3", "--", "-x.flac", "--quiet"});
    ASSERT_EQ(p.action, BatchOptions::Parsed::Action::Convert) << p.message.toStdString();
    EXPECT_EQ(p.paths, (QStringList{"/work/here/-x.flac", "/work/here/--quiet"}));
    EXPECT_FALSE(p.quiet);
}

TEST(BatchOptions, PathBytesThatAreNotUtf8AreKeptAsTheSystemDecodesThem)
{
    QList<QByteArray> args = argv({});
    args.append(QByteArray("caf\xe9.flac"));
    const auto p = BatchOptions::Parse(args, defaults(), QStringLiteral("/w"));
    ASSERT_EQ(p.action, BatchOptions::Parsed::Action::Convert);
    EXPECT_EQ(QFile::encodeName(p.paths.value(0)), QFile::encodeName(QFile::decodeName("/w/caf\xe9.flac")));
}

TEST(BatchOptions, HelpAndVersionAreActionsOfTheirOwn)
{
    EXPECT_EQ(parse({"--help"}).action, BatchOptions::Parsed::Action::Help);
    EXPECT_EQ(parse({"-V", "a"}).action, BatchOptions::Parsed::Action::Version);
    const QString help = BatchOptions::HelpText();
    for (const char* word : {"--format", "mp3|wma|ogg|wav|flac|ac3|aac|amr|opus|m4a", "--jobs", "--cut", "--folders",
                             "--existing", "130", "Examples"})
        EXPECT_TRUE(help.contains(QLatin1String(word))) << word;
}

struct BadLine
{
    std::initializer_list<const char*> words;
    const char* says;
};

TEST(BatchOptions, EveryValueTheWindowDoesNotOfferIsAUsageErrorNamingTheOptionAndTheAcceptedValues)
{
    const BadLine cases[] = {
        {{"--format", "mp4", "a"}, "--format: 'mp4' is not accepted; use mp3|wma|ogg|wav|flac|ac3|aac|amr|opus|m4a"},
        {{"--bitrate", "100", "a"}, "--bitrate: '100' is not accepted; use 32|48|56|64|80|96|112|128|192|224|256|320"},
        {{"--rate", "44.1k", "a"}, "--rate: '44.1k' is not accepted; use 48000|44100|32000"},
        {{"--channels", "6", "a"}, "--channels: '6' is not accepted; use 1 (mono)|2 (stereo)"},
        {{"--jobs", "9", "a"}, "--jobs: '9' is not accepted; use 1 to 8 or auto"},
        {{"--jobs", "0", "a"}, "--jobs: '0' is not accepted"},
        {{"--jobs", "+2", "a"}, "--jobs: '+2' is not accepted"},
        {{"--cut", "60", "a"}, "--cut: '60' is not accepted; use START,LENGTH"},
        {{"--cut", "10,0", "a"}, "--cut: '10,0' is not accepted"},
        {{"--cut", "-1,5", "a"}, "--cut: '-1,5' is not accepted"},
        {{"--cut", "1,2,3", "a"}, "--cut: '1,2,3' is not accepted"},
        {{"--folders", "tree", "a"}, "--folders: 'tree' is not accepted; use keep|flat|beside"},
        {{"--existing", "overwrite", "a"}, "--existing: 'overwrite' is not accepted; use keep|skip"},
        {{"--output=", "a"}, "--output: the folder is empty"},
        {{"--format", "mp3", "--format", "ogg", "a"}, "--format is given more than once"},
        {{"--frobnicate", "a"}, "Unknown option 'frobnicate'"},
        {{"-x.flac"}, "Unknown options: x, ., f, l, a."},
        {{"a", "--bitrate"}, "Missing value after '--bitrate'"},
        {{"--format", "mp3"}, "no file or folder to convert"},
    };
    for (const BadLine& c : cases) {
        const auto p = parse(c.words);
        EXPECT_EQ(p.action, BatchOptions::Parsed::Action::UsageError) << c.says;
        EXPECT_TRUE(p.message.contains(QLatin1String(c.says)))
            << "got: " << p.message.toStdString() << "\nwanted: " << c.says;
    }
}

TEST(BatchOptions, SavedSettingsAreTheWindowsSetupReadButNeverWritten)
{
    QTemporaryDir program;
    const QString folder = program.path();
    CommandBuilder::Request r = BatchOptions::SavedSettings(folder);
    EXPECT_EQ(r.formatIndex, 1);
    EXPECT_EQ(r.bitrate, QStringLiteral("192"));
    EXPECT_EQ(r.outputFolder, folder + QStringLiteral("/output"));
    EXPECT_EQ(r.programFolder, folder);
    EXPECT_FALSE(QFileInfo::exists(SetupIni::FilePath(folder)));
    EXPECT_FALSE(QFileInfo::exists(OptionsIni::FilePath(folder)));

    QFile setup(SetupIni::FilePath(folder));
    ASSERT_TRUE(setup.open(QIODevice::WriteOnly));
    setup.write("\"3\"\r\n\"99\"\r\n\"0\"\r\n\"~/Converted\"\r\n\"8\"\r\n");
    setup.close();
    QFile options(OptionsIni::FilePath(folder));
    ASSERT_TRUE(options.open(QIODevice::WriteOnly));
    options.write("1\r\n1\r\n10\r\n20\r\n2\r\n");
    options.close();
    const QDateTime before = QFileInfo(setup.fileName()).lastModified();
    r = BatchOptions::SavedSettings(folder);
    EXPECT_EQ(r.bitrate, QStringLiteral("64"));
    EXPECT_EQ(r.outputFolder, QDir::homePath() + QStringLiteral("/Converted"));
    EXPECT_EQ(r.formatIndex, 8);
    EXPECT_EQ(r.options.FilesAtOnce, 2);
    EXPECT_EQ(QFileInfo(setup.fileName()).lastModified(), before);
}

} // namespace
