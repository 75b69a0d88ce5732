// How the conversion tool writes a part file: the writer never leaves a hole.
#include "PartWriter.h"
#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

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
}

} // namespace
