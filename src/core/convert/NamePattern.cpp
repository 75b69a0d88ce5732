#include "NamePattern.h"

#include "FatName.h"
#include "filelist/PathBytes.h"

#include <QStringList>

namespace {
constexpr char16_t kEscapeBase = 0xDC00;

bool isEscape(char16_t u)
{
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

// A line break or tab inside a tag separates words; every other control character is dropped.
bool breaksWords(char32_t c)
{
    return c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == 0x85 || c == 0x2028 || c == 0x2029;
}

bool isControl(char32_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F);
}

void appendCode(QString& out, char32_t c)
{
    if (QChar::requiresSurrogates(c)) {
        out += QChar(QChar::highSurrogate(c));
        out += QChar(QChar::lowSurrogate(c));
    } else {
        out += QChar(char16_t(c));
    }
}

// A value made fit for one level of a path: no "/", no control character. Bytes that are not UTF-8 stay
// bytes in a file's own name (keepBytes), as they stay in every output named after it; in a tag they are
// read as Latin-1, which is what an old tagger that wrote them most likely meant, so the name is text.
QString cleaned(const QString& value, bool keepBytes)
{
    QString out;
    out.reserve(value.size());
    const qsizetype n = value.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = value[i].unicode();
        char32_t c = u;
        if (QChar::isHighSurrogate(u) && i + 1 < n && QChar::isLowSurrogate(value[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(u, value[++i].unicode());
        } else if (isEscape(u)) {
            if (keepBytes) {
                out += QChar(u);
                continue;
            }
            c = u - kEscapeBase;
        } else if (QChar::isSurrogate(u)) {
            c = QChar::ReplacementCharacter;
        }
        if (breaksWords(c))
            out += QLatin1Char(' ');
        else if (c == '/')
            out += QLatin1Char('_');
        else if (!isControl(c))
            appendCode(out, c);
    }
    return out;
}

bool trimmedAway(QChar c)
{
    return c.isSpace() || c == QLatin1Char('.') || c == QLatin1Char('-');
}

// Spaces, dots and dashes at either end go: a trailing dot or space is what a FAT drive refuses, a
// leading dot hides the file, and a missing track number leaves "- Title" or ". Title" behind.
QString trimEnds(const QString& s)
{
    qsizetype from = 0;
    qsizetype to = s.size();
    while (from < to && trimmedAway(s[from]))
        ++from;
    while (to > from && trimmedAway(s[to - 1]))
        --to;
    return s.mid(from, to - from);
}

// The UTF-8 bytes of the character at s[i] (a byte kept as a surrogate is one), and its length in s.
int bytesAt(const QString& s, qsizetype i, int* units)
{
    const char16_t u = s[i].unicode();
    *units = 1;
    if (QChar::isHighSurrogate(u) && i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode())) {
        *units = 2;
        return 4;
    }
    if (isEscape(u) || u < 0x80)
        return 1;
    return u < 0x800 ? 2 : 3;
}

// At most maxBytes bytes as the system writes the name, never ending inside a character.
QString cutToBytes(const QString& s, int maxBytes)
{
    int bytes = 0;
    for (qsizetype i = 0; i < s.size();) {
        int units = 1;
        const int b = bytesAt(s, i, &units);
        if (bytes + b > maxBytes)
            return s.left(i);
        bytes += b;
        i += units;
    }
    return s;
}

// A tag's value as the name takes it, trimmed as a level is; empty when nothing usable is in it (the
// tag then counts as missing: ".." is no artist).
QString tagValue(const QHash<QString, QString>& tags, const char* key)
{
    return trimEnds(cleaned(tags.value(QLatin1String(key)), false));
}

// "3", "03" or "3/12": the number before any "/"; nothing for text such as "A1".
std::optional<int> leadingNumber(const QString& v)
{
    const QString head = v.section(QLatin1Char('/'), 0, 0).trimmed();
    if (head.isEmpty() || head.size() > 9)
        return std::nullopt;
    for (QChar c : head) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    return head.toInt();
}

// The first run of exactly four digits ("2004-05-01", "05/01/2004"); the text itself when there is none.
QString yearOf(const QString& v)
{
    for (qsizetype i = 0; i + 4 <= v.size(); ++i) {
        const auto digit = [&](qsizetype k) {
            return k >= 0 && k < v.size() && v[k].isDigit() && v[k].unicode() < 0x80;
        };
        if (digit(i) && digit(i + 1) && digit(i + 2) && digit(i + 3) && !digit(i - 1) && !digit(i + 4))
            return v.mid(i, 4);
    }
    return v;
}

QString fatMapped(const QString& s)
{
    const std::string bytes = PathBytes::Encode(s).toStdString();
    if (!FatName::NeedsMapping(bytes))
        return s;
    return PathBytes::Decode(QByteArray::fromStdString(FatName::Map(bytes)));
}

// One level of the path as it is written: trimmed, mapped where asked, cut to its bytes.
QString finished(const QString& s, int maxBytes, bool fatNames)
{
    QString part = trimEnds(s);
    if (part.isEmpty())
        return part;
    if (fatNames)
        part = fatMapped(part);
    return trimEnds(cutToBytes(part, maxBytes));
}

const QLatin1String kUnknownArtist("Unknown Artist");
const QLatin1String kUnknownAlbum("Unknown Album");
const QLatin1String kUnknownGenre("Unknown Genre");
const QLatin1String kUnknownTitle("Unknown Title");
} // namespace

QString NamePattern::PresetText(Preset preset)
{
    switch (preset) {
    case Preset::ArtistAlbumTrackTitle:
        // The album's artist, so a compilation stays one folder instead of one per singer.
        return QStringLiteral("{albumartist}/{album}/{track} {title}");
    case Preset::ArtistTitle:
        return QStringLiteral("{artist} - {title}");
    case Preset::KeepName:
    case Preset::Custom:
        break;
    }
    return {};
}

std::optional<NamePattern> NamePattern::For(Preset preset, const QString& customText, QString* error)
{
    switch (preset) {
    case Preset::KeepName:
        return NamePattern();
    case Preset::Custom:
        return Parse(customText, error);
    default:
        return Parse(PresetText(preset), error);
    }
}

NamePattern::Field NamePattern::fieldNamed(const QString& name)
{
    static const struct
    {
        const char* name;
        Field field;
    } kFields[] = {{"artist", Field::Artist}, {"albumartist", Field::AlbumArtist},
                   {"album", Field::Album},   {"title", Field::Title},
                   {"track", Field::Track},   {"disc", Field::Disc},
                   {"year", Field::Year},     {"genre", Field::Genre},
                   {"name", Field::Name},     {"folder", Field::Folder}};
    for (const auto& f : kFields) {
        if (name.compare(QLatin1String(f.name), Qt::CaseInsensitive) == 0)
            return f.field;
    }
    return Field::None;
}

std::optional<NamePattern> NamePattern::Parse(const QString& text, QString* error)
{
    const auto fail = [error](const QString& why) {
        if (error)
            *error = why;
        return std::optional<NamePattern>();
    };
    if (text.trimmed().isEmpty())
        return fail(QStringLiteral("The name pattern is empty."));
    if (text.startsWith(QLatin1Char('/')))
        return fail(QStringLiteral("The name pattern begins with \"/\": names go below the output folder."));
    NamePattern pattern;
    pattern.m_text = text;
    bool anyField = false;
    for (const QString& piece : text.split(QLatin1Char('/'))) {
        if (piece.isEmpty())
            return fail(QStringLiteral("The name pattern has an empty folder level (\"//\" or a \"/\" at its end)."));
        Part part;
        bool partField = false;
        QString literal;
        for (qsizetype i = 0; i < piece.size(); ++i) {
            const QChar c = piece[i];
            if (c == QLatin1Char('}'))
                return fail(QStringLiteral("A \"}\" in the name pattern has no \"{\" before it."));
            if (isControl(c.unicode()) || breaksWords(c.unicode()))
                return fail(QStringLiteral("The name pattern holds a control character."));
            if (c != QLatin1Char('{')) {
                literal += c;
                continue;
            }
            const qsizetype close = piece.indexOf(QLatin1Char('}'), i + 1);
            if (close < 0)
                return fail(QStringLiteral("A \"{\" in the name pattern is not closed."));
            const QString name = piece.mid(i + 1, close - i - 1);
            const Field field = fieldNamed(name);
            if (field == Field::None)
                return fail(QStringLiteral("The name pattern has no field {%1}. Fields: {artist}, {albumartist}, "
                                           "{album}, {title}, {track}, {disc}, {year}, {genre}, {name}, {folder}.")
                                .arg(name));
            if (!literal.isEmpty())
                part.append({Field::None, literal});
            literal.clear();
            part.append({field, {}});
            partField = true;
            i = close;
        }
        if (!literal.isEmpty())
            part.append({Field::None, literal});
        if (!partField && trimEnds(literal).isEmpty())
            return fail(QStringLiteral("A level of the name pattern holds only dots or spaces (\"%1\").").arg(piece));
        anyField = anyField || partField;
        pattern.m_parts.append(part);
    }
    if (!anyField)
        return fail(QStringLiteral("The name pattern holds no field: every file would get the same name."));
    return pattern;
}

QString NamePattern::value(Field field, const Input& input) const
{
    const auto tag = [&](const char* key) { return tagValue(input.tags, key); };
    const auto orElse = [](const QString& v, const QString& otherwise) { return v.isEmpty() ? otherwise : v; };
    switch (field) {
    case Field::Artist:
        return orElse(tag("artist"), kUnknownArtist);
    case Field::AlbumArtist:
        return orElse(tag("albumartist"), orElse(tag("artist"), kUnknownArtist));
    case Field::Album:
        return orElse(tag("album"), kUnknownAlbum);
    case Field::Title:
        return orElse(tag("title"), cleaned(input.name, true));
    case Field::Genre:
        return orElse(tag("genre"), kUnknownGenre);
    case Field::Track: {
        const auto n = leadingNumber(input.tags.value(QStringLiteral("track")));
        return n ? QStringLiteral("%1").arg(*n, 2, 10, QLatin1Char('0')) : tag("track");
    }
    case Field::Disc: {
        const auto n = leadingNumber(input.tags.value(QStringLiteral("disc")));
        return n ? QString::number(*n) : tag("disc");
    }
    case Field::Year:
        return yearOf(tag("year"));
    case Field::Name:
        return cleaned(input.name, true);
    case Field::Folder:
        return cleaned(input.folder, true);
    case Field::None:
        break;
    }
    return {};
}

QString NamePattern::fallback(const Part& part, bool last, const Input& input) const
{
    if (last)
        return cleaned(input.name, true);
    for (const Token& t : part) {
        switch (t.field) {
        case Field::Track:
            return QStringLiteral("Unknown Track");
        case Field::Disc:
            return QStringLiteral("Unknown Disc");
        case Field::Year:
            return QStringLiteral("Unknown Year");
        case Field::Folder:
            return QStringLiteral("Unknown Folder");
        case Field::None:
            continue;
        default:
            return cleaned(input.name, true);
        }
    }
    return QStringLiteral("Unknown");
}

QString NamePattern::Apply(const Input& input, const Options& options) const
{
    if (keepsName())
        return input.name;
    QStringList levels;
    for (qsizetype i = 0; i < m_parts.size(); ++i) {
        const bool last = i + 1 == m_parts.size();
        const int maxBytes = last ? kMaxPartBytes - kFileNameRoom : kMaxPartBytes;
        QString level;
        for (const Token& t : m_parts[i])
            level += t.field == Field::None ? t.text : value(t.field, input);
        level = finished(level, maxBytes, options.fatNames);
        if (level.isEmpty())
            level = finished(fallback(m_parts[i], last, input), maxBytes, options.fatNames);
        if (level.isEmpty())
            level = kUnknownTitle;
        levels.append(level);
    }
    return levels.join(QLatin1Char('/'));
}
