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
    using Found = OutputNames::Looked::Found;
    make(QStringLiteral("Live_ _Best__.mp3"));
    make(QStringLiteral("Intro_Outro.mp3"));
    make(QStringLiteral("a_b.mp3"));
    make(QStringLiteral("Tab_x (2).mp3"));
    const auto found = [&](const QString& input, const QString& name) { return names.Look(input, at(name)).found; };
    EXPECT_EQ(found("/m/1", QStringLiteral("Live: \"Best\"?.mp3")), Found::Output);
    EXPECT_EQ(names.Look("/m/2", at(QStringLiteral("Intro|Outro.mp3"))).path, at(QStringLiteral("Intro_Outro.mp3")));
    EXPECT_EQ(found("/m/3", QStringLiteral("a_b.mp3")), Found::Output);
    EXPECT_EQ(found("/m/4", QStringLiteral("Live: \"Worst\"?.mp3")), Found::Nothing);
    EXPECT_EQ(found("/m/5", QStringLiteral("Tab\tx.mp3")), Found::Nothing) << "only its own name, not a counted copy";
    // The mapping goes one way: a name that needs none is not taken by a file whose name maps to it.
    make(QStringLiteral("c:d.mp3"));
    EXPECT_EQ(found("/m/6", QStringLiteral("c_d.mp3")), Found::Nothing);
    EXPECT_EQ(found("/m/7", QStringLiteral("c:d.mp3")), Found::Output);
    names.reset();
    make(QStringLiteral("Tab_x.mp3"));
    EXPECT_EQ(found("/m/5", QStringLiteral("Tab\tx.mp3")), Found::Output) << "a control character maps too";
}

// Two inputs of one output name (two albums' "01 Intro" in one folder, "Song" and "song" on a stick that
// ignores case): the first owns the name, the second its " (2)", on every run, in list order. A name the
// batch itself wrote is never taken for an output that was there before.
TEST_F(OutputNaming, InSkipModeTheKthInputOfANameOwnsItsKthNumberedNameOnEveryRun)
{
    using Found = OutputNames::Looked::Found;
    const QList<std::pair<const char*, const char*>> inputs = {{"/m/a/01 Intro.wav", "01 Intro.mp3"},
                                                               {"/m/b/01 Intro.wav", "01 Intro.mp3"},
                                                               {"/m/Song.wav", "Song.mp3"},
                                                               {"/m/song.wav", "song.mp3"},
                                                               {"/m/c/01 Intro.flac", "01 Intro.mp3"}};
    const QStringList owned = {"01 Intro.mp3", "01 Intro (2).mp3", "Song.mp3", "song (2).mp3", "01 Intro (3).mp3"};
    for (int i = 0; i < inputs.size(); ++i) {
        const OutputNames::Looked looked = names.Look(inputs[i].first, at(inputs[i].second));
        EXPECT_EQ(looked.found, Found::Nothing) << i;
        EXPECT_EQ(looked.path, at(owned[i])) << i;
        make(owned[i]);
    }
    for (int run = 0; run < 2; ++run) {
        names.reset();
        for (int i = 0; i < inputs.size(); ++i) {
            const OutputNames::Looked looked = names.Look(inputs[i].first, at(inputs[i].second));
            EXPECT_EQ(looked.found, Found::Output) << run << " " << i;
            EXPECT_EQ(looked.path, at(owned[i])) << run << " " << i;
        }
    }
    // The first output deleted: the first input converts again, the second still finds its own.
    ASSERT_TRUE(QFile::remove(at(owned[0])));
    names.reset();
    EXPECT_EQ(names.Look(inputs[0].first, at(inputs[0].second)).found, Found::Nothing);
    EXPECT_EQ(names.Look(inputs[1].first, at(inputs[1].second)).found, Found::Output);

    // The tool of this batch's first "x" found its name taken meanwhile and wrote " (2)": the second "x"
    // did not find an output of an earlier run there, and takes the next free name.
    names.reset();
    EXPECT_EQ(names.Look("/m/1/x.wav", at("x.mp3")).path, at("x.mp3"));
    make("x (2).mp3");
    names.Claim(at("x (2).mp3"));
    const OutputNames::Looked second = names.Look("/m/2/x.wav", at("x.mp3"));
    EXPECT_EQ(second.found, Found::Nothing);
    EXPECT_EQ(second.path, at("x (3).mp3"));
}

TEST_F(OutputNaming, InSkipModeAnEmptyFileAFolderOrADanglingLinkAtItsNameIsInTheWay)
{
    using Found = OutputNames::Looked::Found;
    make("empty.mp3", QByteArray());
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    ASSERT_TRUE(QFile::link(at("nowhere"), at("link.mp3")));
    make("whole.mp3", "converted");
    ASSERT_TRUE(QFile::link(at("whole.mp3"), at("linked.mp3")));
    make("twice (2).mp3", QByteArray());
    make("twice.mp3");
    for (int run = 0; run < 2; ++run) {
        names.reset();
        for (const auto& [name, what] : QList<std::pair<const char*, const char*>>{
                 {"empty.mp3", "an empty file"}, {"folder.mp3", "a folder"}, {"link.mp3", "a link to nothing"}}) {
            const OutputNames::Looked looked = names.Look(QStringLiteral("/m/") + name, at(name));
            EXPECT_EQ(looked.found, Found::InTheWay) << name;
            EXPECT_EQ(looked.path, at(name));
            EXPECT_EQ(looked.what, QLatin1String(what));
        }
        EXPECT_EQ(names.Look("/m/linked", at("linked.mp3")).found, Found::Output) << "a link to an output is one";
        EXPECT_EQ(names.Look("/m/1/twice", at("twice.mp3")).found, Found::Output);
        const OutputNames::Looked second = names.Look("/m/2/twice", at("twice.mp3"));
        EXPECT_EQ(second.found, Found::InTheWay);
        EXPECT_EQ(second.path, at("twice (2).mp3"));
    }
    EXPECT_EQ(names.reservedCount(), 0) << "nothing was reserved beside what is in the way";
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
