#include "TrackName.h"

#include "GetFile.h"

namespace TrackName {

namespace {
// Room left in a 255-byte name for " (NNNN)", the longest extension and the part file's
// ".NAME.part-PID-XXXXXX".
constexpr qsizetype kMaxStemBytes = 200;

QString number(int n)
{
    return QString::number(n).rightJustified(2, QLatin1Char('0'));
}

// Cut at a character, never inside one, so the name stays valid UTF-8.
QString fitted(const QString& name)
{
    QString out = name;
    while (out.toUtf8().size() > kMaxStemBytes) {
        out.chop(1);
        if (!out.isEmpty() && out.back().isHighSurrogate())
            out.chop(1);
    }
    return out;
}
} // namespace

QString Stem(const CueTrack& track)
{
    QString title = track.tags.title.simplified();
    for (QChar& c : title) {
        if (c == QLatin1Char('/') || c.category() == QChar::Other_Control)
            c = QLatin1Char('_');
    }
    const QString prefix = number(track.number) + QLatin1Char(' ');
    if (title.isEmpty())
        return prefix + QStringLiteral("Track ") + number(track.number);
    return fitted(prefix + title).trimmed();
}

QString Folder(const QString& imagePath)
{
    return fitted(GetFile::ParseStem(imagePath));
}

} // namespace TrackName
