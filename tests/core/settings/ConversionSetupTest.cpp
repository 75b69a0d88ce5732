#include "settings/ConversionSetup.h"
#include "settings/OptionsIni.h"
#include "settings/SetupIni.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

ProgramPlace::Places placesIn(const QTemporaryDir& dir)
{
    return {false, dir.path(), dir.path() + QStringLiteral("/output")};
}

void write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Whatever setup.ini holds, each field stands alone: one out of its list's range, missing or damaged
// keeps its default, the others still apply. The window and the terminal mode both start from this.
TEST(ConversionSetup, EachSavedFieldAppliesOnItsOwnAndEverythingElseIsTheDefault)
{
    const QString home = QDir::homePath();
    const struct
    {
        const char* file; // nullptr: no setup.ini
        int format, bitrate, rate, channels;
        QString folder; // empty: the default output folder
    } cases[] = {
        {nullptr, 1, 8, 1, 1, {}},
        {"\"12\"\r\n\"3\"\r\n\"0\"\r\n\"/srv/My, Music\"\r\n\"7\"\r\n", 7, 8, 3, 0, "/srv/My, Music"},
        {"\"0\"\r\n\"0\"\r\n\"0\"\r\n", 1, 0, 0, 0, {}},
        {"\"8\"\n\"1\"\n\"1\"\n\"\"\n\"0\"\n", 0, 8, 1, 1, {}},
        {"\"8\"\r\n\"1\"\r\n\"1\"\r\n\"/srv\"\r\n\"8\"\r\n", 8, 8, 1, 1, "/srv"},
        {"\"8\"\r\n\"1\"\r\n\"1\"\r\n\"/srv\"\r\n\"9\"\r\n", 9, 8, 1, 1, "/srv"},
        {"\"8\"\r\n\"1\"\r\n\"1\"\r\n\"/srv\"\r\n\"10\"\r\n", 1, 8, 1, 1, "/srv"},
        {"\"-1\"\r\n\"-1\"\r\n\"2\"\r\n\"lib\"\r\n\"-1\"\r\n", 1, 8, 1, 1, {}},
        {"\"x\"\r\n\"7\"\r\n\"1\"\r\n\"~/Converted\"\r\n\"3\"\r\n", 3, 8, 7, 1, home + "/Converted"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file ? c.file : "no file");
        QTemporaryDir dir;
        if (c.file)
            write(SetupIni::FilePath(dir.path()), c.file);
        const ConversionSetup s = ConversionSetup::Load(placesIn(dir));
        EXPECT_EQ(s.formatIndex, c.format);
        EXPECT_EQ(s.bitrateIndex, c.bitrate);
        EXPECT_EQ(s.rateIndex, c.rate);
        EXPECT_EQ(s.channelIndex, c.channels);
        EXPECT_EQ(s.outputFolder, c.folder.isEmpty() ? dir.path() + QStringLiteral("/output") : c.folder);
        EXPECT_FALSE(QFile::exists(OptionsIni::FilePath(dir.path()))) << "loading writes nothing";
    }
}

TEST(ConversionSetup, TheOptionsComeFromOptionsIniAndTheRequestIsWhatTheToolGets)
{
    QTemporaryDir dir;
    write(OptionsIni::FilePath(dir.path()), "1\r\n1\r\n10\r\n20\r\n2\r\n1\r\n1\r\n");
    ConversionSetup s = ConversionSetup::Load(placesIn(dir));
    EXPECT_EQ(s.options.SoundReminder, 1);
    EXPECT_EQ(s.options.CutDuration, 20);
    EXPECT_EQ(s.options.FilesAtOnce, 2);
    EXPECT_EQ(s.options.IfExists, ExistingOutput::Skip);

    s.bitrateIndex = 11;
    s.rateIndex = 7;
    s.outputFolder = QStringLiteral("phone");
    const CommandBuilder::Request r = s.Request(QStringLiteral("/opt/veltra"));
    EXPECT_EQ(r.programFolder, QStringLiteral("/opt/veltra"));
    EXPECT_EQ(r.bitrate, QStringLiteral("320"));
    EXPECT_EQ(r.sampleRate, QStringLiteral("8000"));
    // A relative folder is in the home folder, wherever the program was started.
    EXPECT_EQ(r.outputFolder, QDir::homePath() + QStringLiteral("/phone"));
    EXPECT_EQ(r.options.CutFrom, 10);

    // What Save writes, Load reads back.
    s.outputFolder = QStringLiteral("/srv/My, Music");
    ASSERT_TRUE(s.Save(dir.filePath(QStringLiteral("new/config"))));
    const ConversionSetup back = ConversionSetup::Load({false, dir.filePath(QStringLiteral("new/config")), {}});
    EXPECT_EQ(back.bitrateIndex, 11);
    EXPECT_EQ(back.rateIndex, 7);
    EXPECT_EQ(back.outputFolder, QStringLiteral("/srv/My, Music"));
}

} // namespace
