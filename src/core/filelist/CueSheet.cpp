#include "CueSheet.h"

#include "CueAudioFile.h"
#include "CueText.h"
#include "GetFile.h"
#include "PathBytes.h"

#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <libcue.h>
#include <memory>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A cue sheet is a few KiB; anything far larger is not one, and the parser would only be slow on it.
constexpr qint64 kMaxSheetBytes = 1 << 20;

QString twoDigits(int n)
{
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}

QString trackName(const CuePoints& p)
{
    return QStringLiteral("track ") + twoDigits(p.tags.track);
}

// libcue reports what it cannot parse on the process's standard error and nowhere else. The user's
// terminal must not see it, and it is the reason the image is not cut, so for the parse standard error
// goes into a memory file. The parser keeps global state, so one parse at a time in any case.
QByteArray parseQuietly(const QByteArray& utf8, Cd*& cd)
{
    static std::mutex parsing;
    const std::lock_guard<std::mutex> lock(parsing);
    std::fflush(stderr);
    const int sink = ::memfd_create("cue-errors", MFD_CLOEXEC);
    const int saved = sink >= 0 ? ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 3) : -1;
    if (sink >= 0)
        ::dup2(sink, STDERR_FILENO);
    cd = cue_parse_string(utf8.constData());
    std::fflush(stderr);
    QByteArray errors;
    if (sink >= 0) {
        if (saved >= 0) {
            ::dup2(saved, STDERR_FILENO);
            ::close(saved);
        } else {
            ::close(STDERR_FILENO); // it was closed before
        }
        char buffer[4096];
        ssize_t n = 0;
        ::lseek(sink, 0, SEEK_SET);
        while (errors.size() < 65536 && (n = ::read(sink, buffer, sizeof buffer)) > 0)
            errors.append(buffer, n);
        ::close(sink);
    }
    return errors;
}

// "17: syntax error" -> "syntax error": the parser's line numbers do not match the text's lines.
QString firstComplaint(const QByteArray& errors)
{
    const QString first = QString::fromUtf8(errors).section(QLatin1Char('\n'), 0, 0).trimmed();
    static const QRegularExpression lineNumber(QStringLiteral("^\\d+:\\s*"));
    QString text = first;
    text.remove(lineNumber);
    // What the parser quotes of the text may be any bytes: only printable characters reach the reason.
    for (QChar& c : text) {
        if (!c.isPrint())
            c = QChar(0xFFFD);
    }
    return text.left(200);
}

QString fromCue(const char* text)
{
    return text ? QString::fromUtf8(text).trimmed() : QString();
}

// "2", "2/3" or "\"2\"": the number before any slash, and the one after it.
QPair<int, int> discNumbers(const QString& value)
{
    QString v = value.trimmed();
    v.remove(QLatin1Char('"'));
    const int number = v.section(QLatin1Char('/'), 0, 0).trimmed().toInt();
    const int total = v.section(QLatin1Char('/'), 1, 1).trimmed().toInt();
    return {qBound(0, number, 9999), qBound(0, total, 9999)};
}

// What libcue has no accessor for, from the text itself: the numbers of the TRACK lines, in order, and
// the disc's number and count from the REM lines ahead of the first track.
struct TextFacts
{
    QList<int> trackNumbers;
    int disc = 0;
    int discTotal = 0;
};

TextFacts scanText(const QString& text)
{
    TextFacts facts;
    static const QRegularExpression track(QStringLiteral("^\\s*TRACK\\s+(\\d+)"));
    static const QRegularExpression rem(QStringLiteral("^\\s*REM\\s+(DISCNUMBER|TOTALDISCS)\\s+(.*)$"));
    const QStringList lines = text.split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString& line : lines) {
        if (const auto m = track.match(line); m.hasMatch()) {
            facts.trackNumbers.append(qBound(0, m.captured(1).left(4).toInt(), 9999));
        } else if (const auto r = rem.match(line); r.hasMatch() && facts.trackNumbers.isEmpty()) {
            const QPair<int, int> numbers = discNumbers(r.captured(2));
            if (r.captured(1) == QLatin1String("DISCNUMBER")) {
                facts.disc = numbers.first;
                if (numbers.second > 0)
                    facts.discTotal = numbers.second;
            } else {
                facts.discTotal = numbers.first;
            }
        }
    }
    return facts;
}

qint64 inSamples(qint64 place, CueSheet::Unit unit, int rate)
{
    // Far past any real length (a damaged sheet's "99999:00:00"): kept clear of overflowing below.
    constexpr qint64 kBeyondAnyImage = qint64(1) << 40;
    if (place > kBeyondAnyImage)
        return kBeyondAnyImage;
    if (unit == CueSheet::Unit::Samples)
        return place;
    // A CD frame is 1/75 s: 588 samples at 44.1 kHz, 640 at 48 kHz. At rates that 75 does not divide
    // the nearest sample, the same for the end of one track and the start of the next.
    return (place * rate * 2 + 75) / 150;
}

} // namespace

QList<QPair<QString, QString>> CueTags::Pairs() const
{
    QList<QPair<QString, QString>> pairs;
    const auto add = [&](const char* key, const QString& value) {
        if (!value.isEmpty())
            pairs.append({QString::fromLatin1(key), value});
    };
    add("title", title);
    add("artist", performer);
    add("album", album);
    add("album_artist", albumArtist);
    add("date", date);
    add("genre", genre);
    if (track > 0)
        add("track", trackTotal > 0 ? QStringLiteral("%1/%2").arg(track).arg(trackTotal) : QString::number(track));
    if (disc > 0)
        add("disc", discTotal > 0 ? QStringLiteral("%1/%2").arg(disc).arg(discTotal) : QString::number(disc));
    return pairs;
}

QStringList CueSheet::audioFiles() const
{
    QStringList files;
    for (const CueTrack& t : m_tracks) {
        if (files.isEmpty() || files.last() != t.audioPath)
            files.append(t.audioPath);
    }
    return files;
}

CueSheet CueSheet::failed(const QString& reason)
{
    CueSheet sheet;
    sheet.m_reason = reason;
    return sheet;
}

CueSheet CueSheet::parse(const QByteArray& bytes, QList<CuePoints>& points)
{
    if (bytes.size() > kMaxSheetBytes)
        return failed(QStringLiteral("the cue sheet is too large to be one"));
    const CueText::Decoded decoded = CueText::Decode(bytes);
    CueSheet sheet;
    sheet.m_encoding = decoded.encoding;
    QByteArray utf8 = decoded.text.toUtf8();
    // The parser reads a C string: a NUL in the text would end it silently.
    utf8.replace('\0', ' ');
    Cd* parsed = nullptr;
    const QByteArray errors = parseQuietly(utf8, parsed);
    const std::unique_ptr<Cd, void (*)(Cd*)> cd(parsed, cd_delete);
    if (!errors.isEmpty() || !cd) {
        const QString complaint = errors.isEmpty() ? QStringLiteral("it is not a cue sheet") : firstComplaint(errors);
        sheet.m_reason = QStringLiteral("the cue sheet cannot be read: ") + complaint;
        return sheet;
    }
    const TextFacts facts = scanText(decoded.text);
    const Cdtext* album = cd_get_cdtext(cd.get());
    const QString albumTitle = fromCue(cdtext_get(PTI_TITLE, album));
    const QString albumArtist = fromCue(cdtext_get(PTI_PERFORMER, album));
    const QString albumGenre = fromCue(cdtext_get(PTI_GENRE, album));
    const QString albumDate = fromCue(rem_get(REM_DATE, cd_get_rem(cd.get())));
    const int count = cd_get_ntrack(cd.get());
    for (int i = 1; i <= count; ++i) {
        const Track* track = cd_get_track(cd.get(), i);
        if (!track)
            continue;
        CuePoints p;
        p.fileName = fromCue(track_get_filename(track));
        for (int index = 0; index < 100; ++index) {
            const long at = track_get_index(track, index);
            if (at >= 0)
                p.indexes.append({index, qint64(at)});
        }
        const Cdtext* text = track_get_cdtext(track);
        CueTags& tags = p.tags;
        tags.title = fromCue(cdtext_get(PTI_TITLE, text));
        tags.performer = fromCue(cdtext_get(PTI_PERFORMER, text));
        if (tags.performer.isEmpty())
            tags.performer = albumArtist;
        tags.album = albumTitle;
        tags.albumArtist = albumArtist;
        tags.genre = fromCue(cdtext_get(PTI_GENRE, text));
        if (tags.genre.isEmpty())
            tags.genre = albumGenre;
        tags.date = fromCue(rem_get(REM_DATE, track_get_rem(track)));
        if (tags.date.isEmpty())
            tags.date = albumDate;
        tags.track = facts.trackNumbers.size() == count ? facts.trackNumbers[i - 1] : i;
        tags.trackTotal = count;
        tags.disc = facts.disc;
        tags.discTotal = facts.discTotal;
        points.append(p);
    }
    return sheet;
}

CueSheet CueSheet::FromFile(const QString& cuePath, const LengthReader& lengthOf)
{
    const int fd = ::open(PathBytes::Encode(cuePath).constData(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return failed(QStringLiteral("the cue sheet cannot be opened: ") +
                      QString::fromLocal8Bit(std::strerror(errno)));
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return failed(QStringLiteral("the cue sheet is not a regular file"));
    }
    QByteArray bytes;
    char buffer[16384];
    ssize_t n = 0;
    while (bytes.size() <= kMaxSheetBytes &&
           ((n = ::read(fd, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))) {
        if (n > 0)
            bytes.append(buffer, n);
    }
    const int readError = n < 0 ? errno : 0;
    ::close(fd);
    if (readError)
        return failed(QStringLiteral("the cue sheet cannot be read: ") +
                      QString::fromLocal8Bit(std::strerror(readError)));
    const int slash = cuePath.lastIndexOf(QLatin1Char('/'));
    return FromText(bytes, slash < 0 ? QStringLiteral(".") : cuePath.left(slash + 1), lengthOf);
}

CueSheet CueSheet::FromText(const QByteArray& bytes, const QString& folder, const LengthReader& lengthOf)
{
    QList<CuePoints> points;
    const CueSheet read = parse(bytes, points);
    if (!read.usable())
        return read;
    QHash<QString, QString> found;
    for (CuePoints& p : points) {
        if (!found.contains(p.fileName))
            found.insert(p.fileName, CueAudioFile::Find(folder, p.fileName));
        p.audioPath = found.value(p.fileName);
    }
    CueSheet sheet = FromPoints(points, Unit::CdFrames, lengthOf);
    sheet.m_encoding = read.m_encoding;
    return sheet;
}

CueSheet CueSheet::FromEmbedded(const QByteArray& bytes, const QString& imagePath, std::optional<AudioLength> length)
{
    QList<CuePoints> points;
    const CueSheet read = parse(bytes, points);
    if (!read.usable())
        return read;
    for (CuePoints& p : points) {
        p.fileName = GetFile::ParseFileName(imagePath);
        p.audioPath = imagePath;
    }
    CueSheet sheet = FromPoints(points, Unit::CdFrames, [&](const QString&) { return length; });
    sheet.m_encoding = read.m_encoding;
    return sheet;
}

namespace {

// Why the sheet's tracks cannot be cut at all (a track with no file or no start); empty when they can.
QString missingParts(const QList<CuePoints>& points)
{
    for (const CuePoints& p : points) {
        if (p.fileName.isEmpty() && p.audioPath.isEmpty())
            return trackName(p) + QStringLiteral(" comes before any FILE");
        if (p.audioPath.isEmpty())
            return QStringLiteral("the audio file \"%1\" of %2 is not there").arg(p.fileName, trackName(p));
        const bool hasStart =
            std::any_of(p.indexes.begin(), p.indexes.end(), [](const QPair<int, qint64>& i) { return i.first == 1; });
        if (!hasStart)
            return trackName(p) + QStringLiteral(" has no INDEX 01");
    }
    return {};
}

// Every index of one file's tracks, in the sheet's order, must lie after the one before; why not, or empty.
QString outOfOrder(const QList<CuePoints>& points, qsizetype first, qsizetype last)
{
    const CuePoints* previousTrack = nullptr;
    qint64 previous = -1;
    for (qsizetype k = first; k <= last; ++k) {
        for (const QPair<int, qint64>& index : points[k].indexes) {
            if (index.second <= previous) {
                if (previousTrack == &points[k])
                    return trackName(points[k]) + QStringLiteral("'s indexes are out of order");
                return trackName(points[k]) + QStringLiteral(" starts before ") + trackName(*previousTrack);
            }
            previous = index.second;
            previousTrack = &points[k];
        }
    }
    return {};
}

} // namespace

// One file's tracks, points[first..last], as ranges of it: each runs from its INDEX 01 to the next one's,
// the first from the file's start, the last to its end. Why they cannot be cut, or empty.
QString CueSheet::cutFile(const QList<CuePoints>& points, qsizetype first, qsizetype last, Unit unit,
                          const LengthReader& lengthOf)
{
    const QString path = points[first].audioPath;
    if (first == last) {
        CueTrack t;
        t.number = points[first].tags.track;
        t.audioPath = path;
        t.wholeFile = true;
        t.tags = points[first].tags;
        m_tracks.append(t);
        return {};
    }
    const std::optional<AudioLength> length = lengthOf ? lengthOf(path) : std::nullopt;
    const bool knownLength = length && length->samples != AudioLength::kUnknownSamples;
    if (!length || length->rate <= 0 || (knownLength && length->samples <= 0))
        return QStringLiteral("the length of \"%1\" cannot be read").arg(GetFile::ParseFileName(path));
    QList<qint64> starts;
    for (qsizetype k = first; k <= last; ++k) {
        for (const QPair<int, qint64>& index : points[k].indexes) {
            if (index.first == 1)
                starts.append(inSamples(index.second, unit, length->rate));
        }
        if (knownLength && starts.last() >= length->samples)
            return trackName(points[k]) +
                   QStringLiteral(" starts after the end of \"%1\"").arg(GetFile::ParseFileName(path));
    }
    for (qsizetype k = first; k <= last; ++k) {
        const qsizetype i = k - first;
        CueTrack t;
        t.number = points[k].tags.track;
        t.audioPath = path;
        t.start = k == first ? 0 : starts[i];
        t.end = k == last ? -1 : starts[i + 1];
        t.tags = points[k].tags;
        m_tracks.append(t);
    }
    return {};
}

CueSheet CueSheet::FromPoints(QList<CuePoints> points, Unit unit, const LengthReader& lengthOf)
{
    if (points.isEmpty())
        return failed(QStringLiteral("the cue sheet has no tracks"));
    for (CuePoints& p : points) {
        if (p.tags.track <= 0)
            p.tags.track = int(&p - points.data()) + 1;
        if (p.tags.trackTotal <= 0)
            p.tags.trackTotal = int(points.size());
    }
    if (const QString why = missingParts(points); !why.isEmpty())
        return failed(why);

    // The tracks of one file follow one another; each file's tracks are cut from it.
    CueSheet sheet;
    QSet<QString> filesDone;
    for (qsizetype first = 0; first < points.size();) {
        const QString path = points[first].audioPath;
        qsizetype last = first;
        while (last + 1 < points.size() && points[last + 1].audioPath == path)
            ++last;
        if (filesDone.contains(path))
            return failed(QStringLiteral("the tracks of \"%1\" are not together").arg(points[first].fileName));
        filesDone.insert(path);
        if (QString why = outOfOrder(points, first, last); !why.isEmpty())
            return failed(why);
        if (QString why = sheet.cutFile(points, first, last, unit, lengthOf); !why.isEmpty())
            return failed(why);
        first = last + 1;
    }
    return sheet;
}
