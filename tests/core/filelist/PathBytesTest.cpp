#include "filelist/PathBytes.h"
#include "TestSupport.h"
#include "filelist/FileQueue.h"
#include "filelist/FileSearch.h"
#include "filelist/ListFiller.h"

#include <QMimeData>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString decoded(const char* bytes)
{
    return PathBytes::Decode(QByteArray(bytes));
}

bool existsAsBytes(const QString& path)
{
    struct stat st
    {};
    return ::lstat(PathBytes::Encode(path).constData(), &st) == 0;
}

TEST(PathBytes, EveryByteStringComesBackExactly)
{
    const QList<QByteArray> samples = {
        "plain.wav",
        "bad\xff.wav",
        "\xc3\xa9t\xc3\xa9.flac",
        "\xf0\x9f\x8e\xb5.mp3",
        "\xc0\xaf", // an overlong "/"
        "\xe2\x82", // a sequence cut short
        "\xf4\x90\x80\x80",
        "\xf5\x80\x80\x80",
        "\x80\xbf",
        "\xed\xa0\x80\xed\xb0\x80",
        "\xef\xbf\xbd",
        "\xef\xbb\xbf"
        "bom.wav", // a byte order mark is a name's first character like any other
        "",
    };
    for (const QByteArray& bytes : samples) {
        const QString path = PathBytes::Decode(bytes);
        EXPECT_EQ(PathBytes::Encode(path), bytes) << bytes.toHex().toStdString();
        EXPECT_TRUE(PathBytes::IsCarried(path)) << bytes.toHex().toStdString();
    }
    // Random strings weighted towards the bytes that make and break UTF-8 sequences.
    std::mt19937 random(19);
    const unsigned char alphabet[] = {'a',  '/',  0x80, 0x9f, 0xa0, 0xbf, 0xc2, 0xc3, 0xdf, 0xe0,
                                      0xe2, 0xed, 0xef, 0xf0, 0xf4, 0xf5, 0xff, 0xb2, 0x8f, 0x90};
    for (int i = 0; i < 5000; ++i) {
        QByteArray bytes;
        const int length = int(random() % 12);
        for (int k = 0; k < length; ++k)
            bytes += char(alphabet[random() % sizeof alphabet]);
        const QString path = PathBytes::Decode(bytes);
        ASSERT_EQ(PathBytes::Encode(path), bytes) << bytes.toHex().toStdString();
        ASSERT_TRUE(PathBytes::IsCarried(path)) << bytes.toHex().toStdString();
    }
}

TEST(PathBytes, ValidTextIsReadAsTextAndSurrogatesInItsBytesAreNotEscapes)
{
    EXPECT_EQ(decoded("\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5.mp3"),
              QString::fromUtf8("\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5.mp3"));
    EXPECT_FALSE(PathBytes::HasEscapes(decoded("\xc3\xa9t\xc3\xa9 \xf0\x9f\x8e\xb5.mp3")));
    // U+DC80 written in UTF-8's form is three bytes, each kept on its own, never the escape of 0x80.
    const QString surrogateBytes = decoded("\xed\xb2\x80");
    EXPECT_EQ(surrogateBytes.size(), 3);
    EXPECT_NE(surrogateBytes, decoded("\x80"));
    EXPECT_EQ(PathBytes::Encode(surrogateBytes), QByteArray("\xed\xb2\x80"));
}

TEST(PathBytes, ALookAlikeStaysAnotherNameAndOnlyTheDisplayMerges)
{
    const QString bad = decoded("/m/bad\xff.wav");
    const QString lookAlike = decoded("/m/bad\xef\xbf\xbd.wav");
    EXPECT_NE(bad, lookAlike);
    EXPECT_TRUE(PathBytes::HasEscapes(bad));
    EXPECT_EQ(PathBytes::Display(bad), lookAlike);
    EXPECT_EQ(PathBytes::Display(lookAlike), lookAlike);
    // Names compared without case (outputs on a stick that ignores it) stay apart too.
    EXPECT_EQ(PathBytes::CaseFolded(decoded("/M/BAD\xff.WAV")), bad);
    EXPECT_EQ(PathBytes::CaseFolded(decoded("/M/BAD\xef\xbf\xbd.WAV")), lookAlike);

    FileQueue queue;
    queue.appendMany({bad, lookAlike});
    EXPECT_EQ(queue.data(queue.index(0, 0)).toString(), lookAlike) << "shown with the replacement character";
    EXPECT_EQ(queue.at(0), bad) << "kept with its byte";
}

TEST(PathBytes, TextNoByteStandsForIsNotCarried)
{
    EXPECT_FALSE(PathBytes::IsCarried(QStringLiteral("/m/a") + QChar(0xD800) + QStringLiteral(".wav")));
    EXPECT_FALSE(PathBytes::IsCarried(QStringLiteral("/m/a") + QChar(0xDC41)));
    // Two escapes whose bytes together read as "é" would come back as another name.
    EXPECT_FALSE(PathBytes::IsCarried(QString(QChar(0xDCC3)) + QChar(0xDCA9)));
    EXPECT_TRUE(PathBytes::IsCarried(QString::fromUtf8("/m/\xf0\x9f\x8e\xb5.wav")));
}

TEST(PathBytes, LocalFileUrlsCarryTheirBytesBothWays)
{
    EXPECT_EQ(PathBytes::FromUrl(QUrl::fromEncoded("file:///m/bad%FF%20x.wav")), decoded("/m/bad\xff x.wav"));
    EXPECT_EQ(PathBytes::FromUrl(QUrl(QStringLiteral("https://example.org/a.mp3"))), QString());
    for (const char* bytes : {"/m/bad\xff#1?.wav", "/m/50%\xc3\xa9.wav", "/m/a b/c\xfe"}) {
        const QString path = decoded(bytes);
        EXPECT_EQ(PathBytes::FromUrl(PathBytes::ToUrl(path)), path) << bytes;
    }
    // What another program's drag delivers: a uri-list that Qt parses itself.
    QMimeData mime;
    mime.setData(QStringLiteral("text/uri-list"), "file:///m/bad%FF.wav\r\nfile:///m/bad%EF%BF%BD.wav\r\n");
    const QList<QUrl> urls = mime.urls();
    ASSERT_EQ(urls.size(), 2);
    EXPECT_EQ(PathBytes::FromUrl(urls[0]), decoded("/m/bad\xff.wav"));
    EXPECT_EQ(PathBytes::FromUrl(urls[1]), decoded("/m/bad\xef\xbf\xbd.wav"));
}

TEST(PathBytes, AScanFindsNamesThatAreNotTextBesideTheirLookAlikes)
{
    QTemporaryDir dir;
    const QByteArray root = dir.path().toUtf8();
    ASSERT_EQ(::mkdir(root + "/in\xfe", 0700), 0);
    for (const QByteArray& name : {QByteArray("/in\xfe/bad\xff.wav"), QByteArray("/in\xfe/bad\xef\xbf\xbd.wav")}) {
        const int fd = ::open(root + name, O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    }
    const QString folder = PathBytes::Decode(root + "/in\xfe");
    ASSERT_TRUE(PathBytes::IsDir(folder));

    QList<QString> found;
    FileSearch::SearchFolder(folder, found);
    ASSERT_EQ(found.size(), 2);
    EXPECT_NE(found[0], found[1]);
    for (const QString& path : found)
        EXPECT_TRUE(existsAsBytes(path)) << PathBytes::Encode(path).toHex().toStdString();

    // A folder handed over (command line, second start) is searched, not listed as a file.
    FileQueue queue;
    ListFiller filler(&queue);
    filler.addPaths({folder});
    EXPECT_EQ(queue.paths(), found);
}

TEST(PathBytes, ANameTheFileDialogShowedIsTheOneFileThatShowsSoOrIsRefused)
{
    QTemporaryDir dir;
    const QByteArray root = dir.path().toUtf8();
    const auto make = [&](const QByteArray& name) {
        const int fd = ::open(root + "/" + name, O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ::close(fd);
    };
    const QString shown = dir.path() + QString::fromUtf8("/bad\xef\xbf\xbd.wav");
    QString why;
    EXPECT_EQ(PathBytes::FromShown(dir.path() + QStringLiteral("/plain.wav"), &why),
              dir.path() + QStringLiteral("/plain.wav"));
    make("bad\xff.wav");
    EXPECT_EQ(PathBytes::FromShown(shown, &why), PathBytes::Decode(root + "/bad\xff.wav"));
    make("bad\xef\xbf\xbd.wav");
    EXPECT_EQ(PathBytes::FromShown(shown, &why), std::nullopt) << "two files show as this name";
    EXPECT_TRUE(why.contains(QStringLiteral("2 files"))) << why.toStdString();

    TestSupport::MsgBoxRecorder boxes;
    FileQueue queue;
    ListFiller filler(&queue);
    filler.addFiles({QStringLiteral("/m/a") + QChar(0xD800) + QStringLiteral(".wav"), QStringLiteral("/m/b.wav")});
    EXPECT_EQ(queue.paths(), QList<QString>{QStringLiteral("/m/b.wav")});
    ASSERT_EQ(boxes.shown().size(), 1);
    EXPECT_TRUE(boxes.shown()[0].text.contains(QStringLiteral("cannot be added")))
        << boxes.shown()[0].text.toStdString();
}

} // namespace
