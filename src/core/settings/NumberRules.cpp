#include "NumberRules.h"

#include <cmath>

namespace NumberRules {

namespace {
// Length of the decimal number at the start of text (from pos), 0 when there is none.
qsizetype numberLength(const QString& text, qsizetype pos)
{
    qsizetype i = pos;
    const qsizetype n = text.size();
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (i < n && text[i].isDigit() && text[i].unicode() < 128) {
        ++i;
        ++digits;
    }
    if (i < n && text[i] == QLatin1Char('.')) {
        qsizetype j = i + 1;
        qsizetype fraction = 0;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128) {
            ++j;
            ++fraction;
        }
        if (digits + fraction > 0) {
            i = j;
            digits += fraction;
        }
    }
    if (digits == 0)
        return 0;
    if (i < n && (text[i] == QLatin1Char('e') || text[i] == QLatin1Char('E'))) {
        qsizetype j = i + 1;
        if (j < n && (text[j] == QLatin1Char('+') || text[j] == QLatin1Char('-')))
            ++j;
        const qsizetype expStart = j;
        while (j < n && text[j].isDigit() && text[j].unicode() < 128)
            ++j;
        if (j > expStart)
            i = j;
    }
    return i - pos;
}

qsizetype skipBlanks(const QString& text, qsizetype pos)
{
    while (pos < text.size() && (text[pos] == QLatin1Char(' ') || text[pos] == QLatin1Char('\t')))
        ++pos;
    return pos;
}
} // namespace

double LeadingNumber(const QString& text)
{
    const qsizetype start = skipBlanks(text, 0);
    const qsizetype len = numberLength(text, start);
    if (len == 0)
        return 0;
    bool ok = false;
    const double v = text.mid(start, len).toDouble(&ok);
    return ok && std::isfinite(v) ? v : 0;
}

std::optional<double> WholeNumber(const QString& text)
{
    const qsizetype start = skipBlanks(text, 0);
    const qsizetype len = numberLength(text, start);
    if (len == 0 || skipBlanks(text, start + len) != text.size())
        return std::nullopt;
    bool ok = false;
    const double v = text.mid(start, len).toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

std::optional<qint64> RoundHalfEven(double value, qint64 lo, qint64 hi)
{
    if (!std::isfinite(value))
        return std::nullopt;
    // nearbyint rounds in the current mode, which is to nearest with ties to even.
    const double r = std::nearbyint(value);
    if (r < static_cast<double>(lo) || r > static_cast<double>(hi))
        return std::nullopt;
    return static_cast<qint64>(r);
}

} // namespace NumberRules
