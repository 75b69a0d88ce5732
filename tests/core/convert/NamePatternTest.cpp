#include "convert/NamePattern.h"
#include "filelist/PathBytes.h"

#include <QStringList>
#include <gtest/gtest.h>
#include <ostream>

// Failures show the names as text.
void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

using Tags = QHash<QString, QString>;

NamePattern::Input file(const Tags& tags, const QString& name = QStringLiteral("track01"),
                        const QString& folder = QStringLiteral("Downloads"))
{
    return {tags, name, folder};
}

QString named(const QString& pattern, const NamePattern::Input& input, bool fat = false)
{
    QString error;
    const auto p = NamePattern::Parse(pattern, &error);
    EXPECT_TRUE(p.has_value()) << pattern.toStdString() << ": " << error.toStdString();
    return p ? p->Apply(input, {fat}) : QString();
}

// Every level of a path a file system takes: not empty, not "." or "..", at most 255 bytes, the file
// name leaving room for an extension and a counter.
void expectWritable(const QString& path)
{
    const QStringList levels = path.split(QLatin1Char('/'));
    for (qsizetype i = 0; i < levels.size(); ++i) {
        const QByteArray bytes = PathBytes::Encode(levels[i]);
        EXPECT_FALSE(bytes.isEmpty() || bytes == "." || bytes == "..") << path.toStdString();
        const int room = i + 1 == levels.size() ? NamePattern::kFileNameRoom : 0;
        EXPECT_LE(bytes.size(), NamePattern::kMaxPartBytes - room) << path.toStdString();
        EXPECT_TRUE(PathBytes::IsCarried(levels[i])) << "no half character: " << path.toStdString();
        EXPECT_FALSE(bytes.endsWith(' ') || bytes.endsWith('.')) << path.toStdString();
        for (char c : bytes)
            EXPECT_FALSE(static_cast<unsigned char>(c) < 0x20 || c == 0x7F) << path.toStdString();
    }
}

const Tags kTagged = {{"artist", "The Killers"},
                      {"albumartist", "Various"},
                      {"album", "Hot Fuss"},
                      {"title", "Mr. Brightside"},
                      {"track", "2"},
                      {"disc", "1/2"},
                      {"year", "2004-06-07"},
                      {"genre", "Rock"}};

TEST(NamePatterns, PresetsAndFieldsFromACompleteSetOfTags)
{
    const auto preset = [](NamePattern::Preset p, const NamePattern::Input& in) {
        return NamePattern::For(p, QString())->Apply(in);
    };
    EXPECT_EQ(preset(NamePattern::Preset::KeepName, file(kTagged, "02. Mr. Brightside")), "02. Mr. Brightside");
    EXPECT_TRUE(NamePattern::For(NamePattern::Preset::KeepName, QString())->keepsName());
    EXPECT_EQ(preset(NamePattern::Preset::ArtistAlbumTrackTitle, file(kTagged)), "Various/Hot Fuss/02 Mr. Brightside");
    EXPECT_EQ(preset(NamePattern::Preset::ArtistTitle, file(kTagged)), "The Killers - Mr. Brightside");
    EXPECT_EQ(named("{year} {genre}/{disc}-{track} {name} from {folder}", file(kTagged)),
              "2004 Rock/1-02 track01 from Downloads");
    EXPECT_EQ(named("{Artist}/{ALBUM}", file(kTagged)), "The Killers/Hot Fuss") << "field names in any case";
    QString error;
    EXPECT_FALSE(NamePattern::For(NamePattern::Preset::Custom, "{nope}", &error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(NamePatterns, MissingTagsAreFilledSoThatNoLevelIsEmpty)
{
    const auto preset = NamePattern::For(NamePattern::Preset::ArtistAlbumTrackTitle, QString());
    EXPECT_EQ(preset->Apply(file({})), "Unknown Artist/Unknown Album/track01");
    EXPECT_EQ(preset->Apply(file({{"artist", "Solo"}, {"title", "  "}})), "Solo/Unknown Album/track01")
        << "the album's artist falls back to the artist, an empty title to the file's name";
    EXPECT_EQ(named("{artist} - {title}", file({{"title", "Song"}})), "Unknown Artist - Song");
    EXPECT_EQ(named("{track} - {title}", file({{"title", "Song"}})), "Song") << "no dangling separator";
    EXPECT_EQ(named("{year}/{disc}/{track}/{folder}/{genre}", file({}, "x", "")),
              "Unknown Year/Unknown Disc/Unknown Track/Unknown Folder/Unknown Genre");
    EXPECT_EQ(named("{track}", file({}, "")), "Unknown Title") << "a file without a name still gets one";
    // Numbers as the tags hold them, and text where a number was expected.
    EXPECT_EQ(named("{track}|{disc}|{year}", file({{"track", "3/12"}, {"disc", "02"}, {"year", "05/01/1999"}})),
              "03|2|1999");
    EXPECT_EQ(named("{track}|{year}", file({{"track", "A1"}, {"year", "MCMLXX"}})), "A1|MCMLXX");
    EXPECT_EQ(named("{track}", file({{"track", "123"}})), "123");
}

// Tags come from any file anybody made: each row a hostile value and what the name makes of it.
TEST(NamePatterns, HostileTagsBecomeSafeNames)
{
    const QString emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // 4 bytes
    const QString eAcute = QString::fromUtf8("\xC3\xA9");        // 2 bytes
    const struct
    {
        const char* what;
        Tags tags;
        const char* pattern;
        QString expected;
    } rows[] = {
        {"slashes", {{"artist", "AC/DC"}, {"title", "a/b"}}, "{artist}/{title}", "AC_DC/a_b"},
        {"climbing out",
         {{"artist", ".."}, {"album", "../../etc"}, {"title", "."}},
         "{artist}/{album}/{title}",
         "Unknown Artist/_.._etc/track01"},
        {"control characters",
         {{"title", "a\nb\tc\x01"
                    "d\x7F"}},
         "{title}",
         "a b cd"},
        {"trailing dots and spaces", {{"album", "Greatest Hits... "}}, "{album}", "Greatest Hits"},
        {"leading dot would hide", {{"album", "...And Justice for All"}}, "{album}", "And Justice for All"},
        {"only dots and spaces", {{"artist", " . . "}}, "{artist}", "Unknown Artist"},
        {"300 bytes of text", {{"title", QString(300, 'x')}}, "{title}", QString(239, 'x')},
        {"emoji cut whole", {{"title", emoji.repeated(100)}}, "{title}", emoji.repeated(59)},
        {"a long folder level",
         {{"artist", eAcute.repeated(200)}},
         "{artist}/{title}",
         eAcute.repeated(127) + "/track01"},
        {"Latin-1 bytes", {{"artist", PathBytes::Decode("Caf\xE9 \xFF")}}, "{artist}", QString::fromUtf8("Café ÿ")},
        {"C1 bytes", {{"title", PathBytes::Decode("x\x85y\x81z")}}, "{title}", "x yz"},
        {"a lone surrogate", {{"title", QString(QChar(0xD800)) + "s"}}, "{title}", QString::fromUtf8("\xEF\xBF\xBDs")},
        {"characters FAT keeps", {{"artist", "Who? <Me>"}}, "{artist}", "Who? <Me>"},
    };
    for (const auto& row : rows) {
        const QString path = named(QLatin1String(row.pattern), file(row.tags));
        EXPECT_EQ(path, row.expected) << row.what;
        expectWritable(path);
    }
}

TEST(NamePatterns, TheFileNameAndFolderKeepTheirBytesAndFatDrivesGetTheirMapping)
{
    const QString bytesName = PathBytes::Decode("b\xFF"
                                                "d");
    const QString path = named("{folder}/{name}", file({}, bytesName, PathBytes::Decode("f\xFE")));
    EXPECT_EQ(PathBytes::Encode(path), QByteArray("f\xFE/b\xFF"
                                                  "d"));
    expectWritable(path);
    EXPECT_EQ(named("{artist}/{title}", file({{"artist", "AC:DC?"}, {"title", "<Live> \"1\"|*."}}), true),
              "AC_DC_/_Live_ _1___");
    EXPECT_EQ(named("{artist}:{title}", file({{"title", "x"}}), true), "Unknown Artist_x") << "literal text too";
}

TEST(NamePatterns, APatternThatCannotNameFilesIsRefusedWithTheReason)
{
    const struct
    {
        const char* pattern;
        const char* inReason;
    } rows[] = {
        {"", "empty"},
        {"   ", "empty"},
        {"/music/{title}", "begins with \"/\""},
        {"{artist}//{title}", "empty folder level"},
        {"{artist}/", "empty folder level"},
        {"{artist}/{nope}", "no field {nope}"},
        {"{artist", "not closed"},
        {"artist}", "no \"{\""},
        {"../{title}", "only dots"},
        {"{artist}/ . /{title}", "only dots"},
        {"music", "no field"},
        {"{title}\n", "control character"},
    };
    for (const auto& row : rows) {
        QString error;
        EXPECT_FALSE(NamePattern::Parse(QString::fromUtf8(row.pattern), &error)) << row.pattern;
        EXPECT_TRUE(error.contains(QLatin1String(row.inReason))) << row.pattern << ": " << error.toStdString();
    }
    EXPECT_TRUE(NamePattern::Parse("Music/{artist}/Live at ~ {year}"));
}

} // namespace
