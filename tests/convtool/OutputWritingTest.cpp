// How the conversion tool writes a part file and reads it back before the commit: the writer never
// leaves a hole, and the check refuses a file that is not whole, including the damage a FAT stick
// through FUSE did to M4A files.
#include "LibAv.h"
#include "OutputCheck.h"
#include "PartWriter.h"
#include "TestSupport.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

std::string failureOf(const std::function<void()>& f)
{
    try {
        f();
    } catch (const LibAv::Failure& failure) {
        return failure.reason;
    }
    return {};
}

QByteArray contents(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool write(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

bool runFfmpeg(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("ffmpeg"), QStringList{"-nostdin", "-v", "error", "-y"} + args);
    return p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

TEST(PartWriter, ItWritesWhatTheMuxerWroteWhereverItSeeksAndTheFileHasNoHole)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("part"));
    ASSERT_TRUE(write(path, {}));
    constexpr int64_t kFar = 3 * 1024 * 1024 + 5;
    {
        PartWriter writer(path.toStdString());
        AVIOContext* io = writer.io();
        avio_write(io, reinterpret_cast<const unsigned char*>("head"), 4);
        // As the M4A muxer keeps room for its index: far past anything written yet.
        ASSERT_EQ(avio_seek(io, kFar, SEEK_SET), kFar);
        avio_write(io, reinterpret_cast<const unsigned char*>("tail"), 4);
        // Rewrites: near the start, just below the stretch held in memory, and within it.
        ASSERT_EQ(avio_seek(io, 100, SEEK_SET), 100);
        avio_write(io, reinterpret_cast<const unsigned char*>("index"), 5);
        const int64_t nearTheEnd = kFar - PartWriter::kGuard - 1000;
        ASSERT_EQ(avio_seek(io, nearTheEnd, SEEK_SET), nearTheEnd);
        avio_write(io, reinterpret_cast<const unsigned char*>("guard"), 5);
        ASSERT_EQ(avio_seek(io, kFar - 10, SEEK_SET), kFar - 10);
        avio_write(io, reinterpret_cast<const unsigned char*>("last"), 4);
        avio_flush(io);
        EXPECT_EQ(avio_size(io), kFar + 4);
        writer.Close();
        EXPECT_EQ(writer.length(), kFar + 4);
    }
    QByteArray want(int(kFar) + 4, '\0');
    want.replace(0, 4, "head");
    want.replace(int(kFar), 4, "tail");
    want.replace(100, 5, "index");
    want.replace(int(kFar - PartWriter::kGuard - 1000), 5, "guard");
    want.replace(int(kFar) - 10, 4, "last");
    EXPECT_TRUE(contents(path) == want);
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::lseek(fd, 0, SEEK_HOLE), kFar + 4) << "no hole";
    ::close(fd);
    EXPECT_EQ(OutputCheck::Length(path.toStdString(), kFar + 4), kFar + 4);
}

TEST(OutputCheck, AFileShorterOrLongerThanWrittenOrWithAHoleFails)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("out")).toStdString();
    ASSERT_TRUE(write(QString::fromStdString(path), QByteArray(5000, 'a')));
    EXPECT_EQ(failureOf([&] { OutputCheck::Length(path, 6000); }),
              "the output holds 5000 bytes where 6000 were written");
    EXPECT_EQ(failureOf([&] { OutputCheck::Length(path, 4000); }),
              "the output holds 5000 bytes where 4000 were written");
    EXPECT_EQ(failureOf([&] { OutputCheck::Length(dir.filePath(QStringLiteral("gone")).toStdString(), 1); }),
              "cannot read back the output: No such file or directory");

    // The end read back against what was written there: a write the file system moved shows.
    const std::vector<uint8_t> end(1000, 'a');
    EXPECT_EQ(failureOf([&] { OutputCheck::End(path, 4000, end); }), "");
    std::vector<uint8_t> moved = end;
    moved[500] = 'b';
    const std::string lost = "the output does not hold what was written at its end: the file system lost or moved it";
    EXPECT_EQ(failureOf([&] { OutputCheck::End(path, 4000, moved); }), lost);
    EXPECT_EQ(failureOf([&] { OutputCheck::End(path, 4500, end); }), lost) << "past the end";

    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, "end", 3, 4 * 1024 * 1024), 3);
    ::close(fd);
    const int reader = ::open(path.c_str(), O_RDONLY);
    const off_t hole = ::lseek(reader, 0, SEEK_HOLE);
    ::close(reader);
    if (hole == 4 * 1024 * 1024 + 3)
        GTEST_SKIP() << "the temporary folder's file system does not tell where its holes are";
    EXPECT_EQ(failureOf([&] { OutputCheck::Length(path, 4 * 1024 * 1024 + 3); }),
              "the output has a hole at byte " + std::to_string(hole));
}

class Mp4Check : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(makeTone(file("tone.wav"), 3));
        // The layout the tool writes: the index in room kept for it at the front, then the audio.
        ASSERT_TRUE(
            runFfmpeg({"-i", file("tone.wav"), "-c:a", "aac", "-moov_size", "20000", "-f", "ipod", file("good.m4a")}));
        ASSERT_TRUE(runFfmpeg({"-i", file("tone.wav"), "-c:a", "aac", "-f", "ipod", file("index-last.m4a")}));
        good = contents(file("good.m4a"));
        expected.frames = probe(file("good.m4a"), QStringLiteral("nb_frames")).toLongLong();
        expected.samples = 3 * 44100;
        expected.rate = 44100;
        expected.frameSize = 1024;
        ASSERT_GT(expected.frames, 100);
    }
    QString file(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
    std::string check(const QString& path, const OutputCheck::Mp4Audio& audio) const
    {
        return failureOf([&] { OutputCheck::Mp4(path.toStdString(), audio); });
    }
    std::string checkBytes(const QByteArray& bytes) const
    {
        const QString path = dir.filePath(QStringLiteral("damaged.m4a"));
        if (!write(path, bytes))
            return "cannot write the damaged copy";
        return check(path, expected);
    }

    QTemporaryDir dir;
    QByteArray good;
    OutputCheck::Mp4Audio expected;
};

TEST_F(Mp4Check, AWholeFilePassesAndEveryDamageIsNamed)
{
    EXPECT_EQ(check(file("good.m4a"), expected), "");
    const int audioAt = int(good.indexOf("mdat")) - 4;
    ASSERT_GT(audioAt, good.indexOf("moov"));

    // Cut short, as a write the file system lost at the end.
    EXPECT_EQ(checkBytes(good.left(good.size() - 700)), "the M4A file written is damaged: its atom at byte " +
                                                            std::to_string(audioAt) + " does not fit in the file");
    // What the faststart pass left on a FAT stick: the audio's atom header overwritten.
    QByteArray garbled = good;
    garbled.replace(audioAt, 8, QByteArray("\xdf\x8f\x89\xf8\x11\x22\x33\x44", 8));
    EXPECT_EQ(checkBytes(garbled), "the M4A file written is damaged: its atom at byte " + std::to_string(audioAt) +
                                       " does not fit in the file");
    // The index no longer names the audio: the atoms are whole but nothing plays.
    QByteArray renamed = good;
    renamed.replace(audioAt + 4, 4, "junk");
    EXPECT_EQ(checkBytes(renamed), "the M4A file written is damaged: it has no index or no audio");
    QByteArray typeless = good;
    typeless.replace(4, 4, "xxxx");
    EXPECT_EQ(checkBytes(typeless), "the M4A file written is damaged: it does not start with its file type");
    EXPECT_EQ(check(file("index-last.m4a"), expected),
              "the M4A file written is damaged: its index is not ahead of its audio");

    OutputCheck::Mp4Audio moreFrames = expected;
    moreFrames.frames += 1;
    EXPECT_EQ(check(file("good.m4a"), moreFrames), "the M4A file written is damaged: its index lists " +
                                                       std::to_string(expected.frames) + " frames where " +
                                                       std::to_string(expected.frames + 1) + " were written");
    OutputCheck::Mp4Audio longer = expected;
    longer.samples = 4 * 44100;
    EXPECT_EQ(check(file("good.m4a"), longer),
              "the M4A file written is damaged: its index gives 3.000 s of audio where 4.000 s were encoded");
    OutputCheck::Mp4Audio withinAFrame = expected;
    withinAFrame.samples += 1024;
    EXPECT_EQ(check(file("good.m4a"), withinAFrame), "");
}

} // namespace
