#include "ProgressParser.h"

#include "settings/NumberRules.h"

#include <QStringList>
#include <cmath>

namespace ProgressParser {

namespace {
const QString kDuration = QStringLiteral("Duration: ");
const QString kTime = QStringLiteral("time=");

// The values after every occurrence of marker that has at least one character after it, each up to
// the next space or the end of the piece.
QStringList valuesAfter(const QString& piece, const QString& marker)
{
    QStringList values;
    const qsizetype last = piece.size() - marker.size() - 1;
    for (qsizetype p = 0; p <= last; ++p) {
        if (QStringView(piece).mid(p, marker.size()) != marker)
            continue;
        const qsizetype start = p + marker.size();
        qsizetype end = piece.indexOf(QLatin1Char(' '), start);
        if (end < 0)
            end = piece.size();
        values.append(piece.mid(start, end - start));
    }
    return values;
}

// "HH:MM:SS.cc" as seconds; nothing unless there are three parts that read as numbers.
std::optional<double> clockSeconds(const QString& text)
{
    const QStringList parts = text.split(QLatin1Char(':'));
    if (parts.size() < 3)
        return std::nullopt;
    QString seconds = parts[2];
    // The tool may write a separator right after the seconds ("25.40,").
    while (seconds.endsWith(QLatin1Char(',')))
        seconds.chop(1);
    const auto h = NumberRules::WholeNumber(parts[0]);
    const auto m = NumberRules::WholeNumber(parts[1]);
    const auto s = NumberRules::WholeNumber(seconds);
    if (!h || !m || !s)
        return std::nullopt;
    const double sign = parts[0].trimmed().startsWith(QLatin1Char('-')) ? -1 : 1;
    return *h * 3600 + sign * (*m * 60 + *s);
}
} // namespace

qint32 DurationSeconds(const QString& piece)
{
    const QString collected = valuesAfter(piece, kDuration).join(QString());
    if (collected.isEmpty())
        return 0;
    const auto seconds = clockSeconds(collected);
    if (!seconds)
        return 0;
    return static_cast<qint32>(NumberRules::ToInt32(*seconds).value_or(0));
}

std::optional<qint32> ElapsedSeconds(const QString& piece)
{
    for (const QString& value : valuesAfter(piece, kTime)) {
        if (value.startsWith(QLatin1String("N/A")))
            continue;
        const double seconds =
            value.contains(QLatin1Char(':')) ? clockSeconds(value).value_or(0) : NumberRules::LeadingNumber(value);
        return static_cast<qint32>(NumberRules::ToInt32(seconds).value_or(0));
    }
    return std::nullopt;
}

QString Caption(double percent)
{
    QString text = QString::number(percent, 'g', 15);
    if (text.contains(QLatin1Char('e'))) {
        text = QString::number(percent, 'f', 20);
        while (text.contains(QLatin1Char('.')) && (text.endsWith(QLatin1Char('0')) || text.endsWith(QLatin1Char('.'))))
            text.chop(1);
    }
    return text.left(4) + QLatin1Char('%');
}

std::optional<Display> Parse(const QString& piece, qint32& totalSeconds, const OptionSettings& options)
{
    if (totalSeconds == 0) {
        if (options.MusicCutter != 0)
            totalSeconds = options.CutDuration;
        else
            totalSeconds = DurationSeconds(piece);
    }
    const auto elapsed = ElapsedSeconds(piece);
    if (!elapsed || totalSeconds <= 0)
        return std::nullopt;
    const double ratio = std::max(0.0, double(*elapsed) / double(totalSeconds));
    if (ratio * 100 >= 100)
        return Display{kBarFullWidth, QStringLiteral("100%")};
    return Display{int(std::floor(ratio * kBarFullWidth)), Caption(ratio * 100)};
}

} // namespace ProgressParser
