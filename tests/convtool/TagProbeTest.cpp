// The tool's tag probe: what it reads from each container, how the tags cross to the program, and what
// the program's runner makes of them.
#include "TagProbe.h"
#include "TestSupport.h"
#include "ToolRecord.h"
#include "ToolTags.h"
#include "convert/ToolWorker.h"
#include "filelist/PathBytes.h"

#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

using namespace TestSupport;

namespace {

bool runFfmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-v", "error", "-y"} + args);
    return p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TagProbe::Fields expectedFields(bool albumArtistAndDisc, const std::string& title)
{
    TagProbe::Fields f = {{"artist", "The Killers"},
                          {"albumartist", "Various"},
                          {"album", "Hot Fuss"},
                          {"title", title},
                          {"track", "3"},
                          {"disc", "1"},
                          {"year", "2004"},
                          {"genre", "Rock"}};
    if (!albumArtistAndDisc)
        f.erase(std::remove_if(f.begin(), f.end(),
                               [](const auto& p) { return p.first == "albumartist" || p.first == "disc"; }),
                f.end());
    return f;
}

TEST(ToolTagLines, EveryByteCrossesAsShortAsciiLinesThatOlderReadersSkip)
{
    std::string every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    const std::string emoji = "\xF0\x9F\x98\x80";
    std::string longValue = "a";
    for (int i = 0; i < 500; ++i)
        longValue += emoji;
    for (const std::string& value : {every, longValue, std::string("x y\nz%")}) {
        const std::string line = ToolTags::Line("title", value);
        ASSERT_FALSE(line.empty());
        EXPECT_EQ(line.back(), '\n');
        const std::string_view body(line.data(), line.size() - 1);
        EXPECT_LE(line.size(), ToolTags::kMaxLineBytes);
        EXPECT_EQ(std::count(body.begin(), body.end(), ' '), 2) << "only the two separators";
        EXPECT_TRUE(std::all_of(body.begin(), body.end(), [](char c) { return c >= ' ' && c <= '~'; }));
        EXPECT_FALSE(ToolRecord::Parse(body)) << "a reader that knows no tags skips the line";
        const auto tag = ToolTags::Parse(body);
        ASSERT_TRUE(tag);
        EXPECT_EQ(tag->field, "title");
        if (value.size() <= ToolTags::kMaxValueBytes)
            EXPECT_EQ(tag->value, value);
        else
            EXPECT_EQ(tag->value, longValue.substr(0, 1 + 255 * emoji.size())) << "cut before a whole character";
    }
    EXPECT_EQ(ToolTags::Line("title", ""), "");
    EXPECT_EQ(ToolTags::Line("lyrics", "la la"), "");
    for (const char* bad :
         {"tag lyrics x", "tag artist %G1", "tag artist %4", "tag artist a b", "tag artist ", "tag artist", "name 1 0"})
        EXPECT_FALSE(ToolTags::Parse(bad)) << bad;
}

class TagProbeFiles : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(makeTone(file("tone.wav"), 0.3)); }
    QString file(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
};

TEST_F(TagProbeFiles, EveryContainerGivesTheNamingFieldsNormalised)
{
    const QStringList tags = {"-metadata", "artist=The Killers", "-metadata", "album_artist=Various",
                              "-metadata", "album=Hot Fuss",     "-metadata", QString::fromUtf8("title=Café ☃"),
                              "-metadata", "track=3/12",         "-metadata", "disc=1/2",
                              "-metadata", "date=2004-06-07",    "-metadata", "genre=Rock"};
    for (const char* ext : {"mp3", "flac", "m4a", "wma", "opus", "wav"}) {
        const QString path = file(QStringLiteral("in.") + QLatin1String(ext));
        ASSERT_TRUE(runFfmpeg(QStringList{"-i", file("tone.wav")} + tags + QStringList{path})) << ext;
        // A WAV file's INFO list has no album artist and no disc.
        EXPECT_EQ(TagProbe::Read(path.toStdString()),
                  expectedFields(std::string(ext) != "wav", "Caf\xC3\xA9 \xE2\x98\x83"))
            << ext;
    }
    // A cover picture in the tag: the format is found after the tag, and the picture's stream is no source.
    ASSERT_TRUE(runFfmpeg({"-f", "lavfi", "-i", "testsrc=size=160x120:d=1", "-frames:v", "1", file("cover.png")}));
    ASSERT_TRUE(runFfmpeg(QStringList{"-i", file("tone.wav"), "-i", file("cover.png"), "-map", "0", "-map", "1", "-c:v",
                                      "copy", "-disposition:v", "attached_pic", "-metadata:s:v", "title=Pic"} +
                          tags + QStringList{file("cover.mp3")}));
    EXPECT_EQ(TagProbe::Read(file("cover.mp3").toStdString()), expectedFields(true, "Caf\xC3\xA9 \xE2\x98\x83"));
    // Ogg keeps them on the stream, under the Vorbis names.
    ASSERT_TRUE(runFfmpeg({"-i", file("tone.wav"), "-metadata:s:a", "artist=The Killers", "-metadata:s:a",
                           "ALBUMARTIST=Various", "-metadata:s:a", "album=Hot Fuss", "-metadata:s:a", "title=T",
                           "-metadata:s:a", "TRACKNUMBER=03", "-metadata:s:a", "DISCNUMBER=1", "-metadata:s:a",
                           "date=2004", "-metadata:s:a", "genre=Rock", file("in.ogg")}));
    EXPECT_EQ(TagProbe::Read(file("in.ogg").toStdString()), expectedFields(true, "T"));
    EXPECT_TRUE(TagProbe::Read(file("tone.wav").toStdString()).empty());
    EXPECT_EQ(TagProbe::FieldsOf(nullptr, nullptr), TagProbe::Fields());
}

TEST_F(TagProbeFiles, TheToolHandsTagBytesToTheRunnerAndFailsOnWhatIsNoAudio)
{
    // Bytes that are not UTF-8 and a line break, straight into a Vorbis comment.
    QFile meta(file("meta.txt"));
    ASSERT_TRUE(meta.open(QIODevice::WriteOnly));
    meta.write(";FFMETADATA1\ntitle=Caf\xE9\\\nline\nartist=A%20B\n");
    meta.close();
    ASSERT_TRUE(runFfmpeg({"-i", file("tone.wav"), "-i", file("meta.txt"), "-map_metadata", "1", file("odd.flac")}));
    QFile text(file("notes.mp3"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not audio at all\n");
    text.close();

    const QByteArray tool = QFile::encodeName(buildProgramFolder() + QStringLiteral("/data/conv.exe"));
    const auto probe = [&](const QString& input) {
        return QList<QByteArray>{tool, ToolTags::kProbeOption, "-i", PathBytes::Encode(input)};
    };
    ToolWorker worker;
    QSignalSpy over(&worker, &ToolWorker::CommandOver);
    ASSERT_TRUE(worker.Start(probe(file("odd.flac"))));
    ASSERT_TRUE(over.wait(60000));
    EXPECT_TRUE(worker.lastExit().succeeded()) << worker.Outputs().toStdString();
    EXPECT_EQ(PathBytes::Encode(worker.tags().value("title")), QByteArray("Caf\xE9\nline"));
    EXPECT_EQ(worker.tags().value("artist"), "A%20B");
    EXPECT_EQ(worker.tags().size(), 2);

    // The same tool process goes on with the next job; a file that is no audio fails only its probe.
    ASSERT_TRUE(worker.Start(probe(file("notes.mp3"))));
    ASSERT_TRUE(over.wait(60000));
    EXPECT_FALSE(worker.lastExit().succeeded());
    EXPECT_TRUE(worker.Outputs().contains("not an audio file")) << worker.Outputs().toStdString();
    EXPECT_TRUE(worker.tags().isEmpty()) << "no tags of the file before";
    ASSERT_TRUE(worker.Start(probe(file("missing.flac"))));
    ASSERT_TRUE(over.wait(60000));
    EXPECT_FALSE(worker.lastExit().succeeded());
    EXPECT_TRUE(worker.Outputs().contains("No such file")) << worker.Outputs().toStdString();
}

} // namespace
