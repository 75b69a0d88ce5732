#include "convert/OutputNames.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class OutputNaming : public ::testing::Test
{
protected:
    QString at(const QString& name) const { return dir.path() + QLatin1Char('/') + name; }
    void make(const QString& name, const QByteArray& bytes = "user's own")
    {
        QFile f(at(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir dir;
    OutputNames names;
};

TEST_F(OutputNaming, TracksWithOneOutputNameGetCountedNamesInTheOrderTheyStart)
{
    EXPECT_EQ(names.Reserve("/a1/01. Jenny.flac", at("01. Jenny.mp3")), at("01. Jenny.mp3"));
    EXPECT_EQ(names.Reserve("/a2/01. Jenny.flac", at("01. Jenny.mp3")), at("01. Jenny (2).mp3"));
    EXPECT_EQ(names.Reserve("/a3/01. Jenny.wav", at("01. Jenny.mp3")), at("01. Jenny (3).mp3"));
    EXPECT_EQ(names.Reserve("/a1/02. Mr. Brightside.flac", at("02. Mr. Brightside.mp3")), at("02. Mr. Brightside.mp3"));
    // Names differing in case only would be one file on a case-insensitive stick.
    EXPECT_EQ(names.Reserve("/a4/01. JENNY.ogg", at("01. JENNY.mp3")), at("01. JENNY (4).mp3"));
    EXPECT_EQ(names.reservedCount(), 5);
}

TEST_F(OutputNaming, TheSamePathListedTwiceGetsItsOwnOutputAgain)
{
    const auto first = names.Reserve("/m/a.wav", at("a.mp3"));
    make("a.mp3", "converted by the first run");
    EXPECT_EQ(names.Reserve("/m/a.wav", at("a.mp3")), first);
    EXPECT_EQ(names.ReservedFor("/m/a.wav"), at("a.mp3"));
    names.reset();
    EXPECT_EQ(names.Reserve("/m/a.wav", at("a.mp3")), at("a (2).mp3")) << "a new batch keeps the earlier output";
}

TEST_F(OutputNaming, NothingThatExistsIsEverChosen)
{
    make("a.mp3");     // an input listed with a.wav, or the user's own file
    make("b (2).mp3"); // taken as well: count on
    make("b.mp3");
    ASSERT_TRUE(QFile::link(at("nowhere"), at("c.mp3"))); // a dangling link is still a name in use
    EXPECT_EQ(names.Reserve(at("a.wav"), at("a.mp3")), at("a (2).mp3"));
    EXPECT_EQ(names.Reserve(at("b.wav"), at("b.mp3")), at("b (3).mp3"));
    EXPECT_EQ(names.Reserve(at("c.wav"), at("c.mp3")), at("c (2).mp3"));
    // Converting a file into its own format and folder: the output is the input itself.
    EXPECT_EQ(names.Reserve(at("a.mp3"), at("a.mp3")), at("a (3).mp3"));
    EXPECT_EQ(names.Reserve(at("hidden"), at(".hidden.mp3")), at(".hidden.mp3"));
    EXPECT_EQ(OutputNames::Numbered(at(".hidden.mp3"), 2), at(".hidden (2).mp3"));
    EXPECT_EQ(OutputNames::Numbered(QStringLiteral("/o.d/README"), 4), QStringLiteral("/o.d/README (4)"));
}

TEST_F(OutputNaming, ALinkedOrRelativeFolderIsTheSameFolder)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("out")));
    ASSERT_TRUE(QFile::link(at("out"), at("link")));
    EXPECT_EQ(names.Reserve("/m/x.wav", at("out/x.mp3")), at("out/x.mp3"));
    EXPECT_EQ(names.Reserve("/n/x.wav", at("link/x.mp3")), at("link/x (2).mp3"));
    const QString before = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(dir.path()));
    const auto relative = names.Reserve("/o/x.wav", QStringLiteral("out/./x.mp3"));
    QDir::setCurrent(before);
    EXPECT_EQ(relative, QStringLiteral("out/./x (3).mp3"));
}

// Skip mode asks whether a file's output is there already. On a stick that refuses some characters an
// earlier run wrote the mapped name, and that counts; a mapped twin of a name that needs no mapping, a
// counted copy, or another name does not.
TEST_F(OutputNaming, SkipModeFindsAnOutputAnEarlierRunWroteUnderItsMappedName)
{
    make(QStringLiteral("Live_ _Best__.mp3"));
    make(QStringLiteral("Intro_Outro.mp3"));
    make(QStringLiteral("a_b.mp3"));
    make(QStringLiteral("Tab_x (2).mp3"));
    EXPECT_TRUE(names.Taken(at(QStringLiteral("Live: \"Best\"?.mp3"))));
    EXPECT_TRUE(names.Taken(at(QStringLiteral("Intro|Outro.mp3"))));
    EXPECT_TRUE(names.Taken(at(QStringLiteral("a_b.mp3"))));
    EXPECT_FALSE(names.Taken(at(QStringLiteral("Live: \"Worst\"?.mp3"))));
    EXPECT_FALSE(names.Taken(at(QStringLiteral("Tab\tx.mp3")))) << "only the name itself, not a counted copy";
    make(QStringLiteral("Tab_x.mp3"));
    EXPECT_TRUE(names.Taken(at(QStringLiteral("Tab\tx.mp3")))) << "a control character maps too";
    // The mapping goes one way: a name that needs none is not taken by a file whose name maps to it.
    make(QStringLiteral("c:d.mp3"));
    EXPECT_FALSE(names.Taken(at(QStringLiteral("c_d.mp3"))));
    EXPECT_TRUE(names.Taken(at(QStringLiteral("c:d.mp3"))));
    // A name this batch reserved or wrote counts, whatever its case.
    const auto reserved = names.Reserve(QStringLiteral("/m/e.wav"), at(QStringLiteral("e.mp3")));
    ASSERT_TRUE(reserved);
    EXPECT_TRUE(names.Taken(at(QStringLiteral("E.mp3"))));
    names.Claim(at(QStringLiteral("Song_ (2).mp3")));
    EXPECT_TRUE(names.Taken(at(QStringLiteral("song_ (2).mp3"))));
    EXPECT_FALSE(QFile::exists(at(QStringLiteral("Song_ (2).mp3"))));
}

TEST(OutputNamingLimit, ANameTakenTooOftenGivesUpInsteadOfLoopingForEver)
{
    // Ten thousand files: in memory where the machine has such a folder, since creating files on disk
    // can take a millisecond each.
    QTemporaryDir dir(QDir(QStringLiteral("/dev/shm")).exists() ? QStringLiteral("/dev/shm/names-XXXXXX")
                                                                : QDir::tempPath() + QStringLiteral("/names-XXXXXX"));
    ASSERT_TRUE(dir.isValid());
    const QString x = dir.filePath(QStringLiteral("x.mp3"));
    ::close(::open(QFile::encodeName(x).constData(), O_CREAT | O_WRONLY, 0644));
    for (int n = 2; n <= OutputNames::kMaxTries + 1; ++n)
        ::close(::open(QFile::encodeName(OutputNames::Numbered(x, n)).constData(), O_CREAT | O_WRONLY, 0644));
    OutputNames names;
    EXPECT_EQ(names.Reserve("/m/x.wav", x), std::nullopt);
    EXPECT_EQ(names.Reserve("/m/y.wav", dir.filePath(QStringLiteral("y.mp3"))), dir.filePath(QStringLiteral("y.mp3")));
}

} // namespace
