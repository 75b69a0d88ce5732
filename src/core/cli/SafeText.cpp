#include "SafeText.h"

#include <QList>

namespace SafeText {

namespace {
bool isFormatControl(char32_t c)
{
    return (c >= 0x200B && c <= 0x200F) || (c >= 0x202A && c <= 0x202E) || (c >= 0x2060 && c <= 0x2069) ||
           c == 0xFEFF || c == 0x061C;
}

QString hex(char32_t c, int digits)
{
    return QString::number(uint(c), 16).toUpper().rightJustified(digits, QLatin1Char('0'));
}

// Decided here rather than by wcwidth, which answers -1 for everything but ASCII in the C locale that
// cron and many SSH sessions run in, while the terminal still shows wide characters in two cells.
int columnsOf(char32_t c)
{
    const QChar::Category category = QChar::category(c);
    if (category == QChar::Mark_NonSpacing || category == QChar::Mark_Enclosing || c == 0x200B)
        return 0;
    const bool wide = (c >= 0x1100 && c <= 0x115F) || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
                      (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
                      (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
                      (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
                      (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
    return wide ? 2 : 1;
}

// One character as the terminal is to show it.
QString escaped(char32_t c)
{
    switch (c) {
    case U'\n':
        return QStringLiteral("\\n");
    case U'\r':
        return QStringLiteral("\\r");
    case U'\t':
        return QStringLiteral("\\t");
    case 0x1B:
        return QStringLiteral("\\e");
    default:
        break;
    }
    if (c < 0x20 || c == 0x7F)
        return QLatin1String("\\x") + hex(c, 2);
    if ((c >= 0x80 && c <= 0x9F) || isFormatControl(c))
        return QLatin1String("\\u") + hex(c, 4);
    return QString::fromUcs4(&c, 1);
}
} // namespace

QString Escape(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text[i];
        char32_t c = unit.unicode();
        if (unit.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(unit, text[i + 1]);
            ++i;
        } else if (unit.isSurrogate()) {
            // A byte of a name that is not UTF-8 (PathBytes keeps it as U+DC80..U+DCFF): shown as that
            // byte, so two names that differ only there never print alike.
            out += QLatin1String("\\x") + hex(c >= 0xDC80 && c <= 0xDCFF ? c - 0xDC00 : 0x3F, 2);
            continue;
        }
        out += escaped(c);
    }
    return out;
}

int Columns(const QString& text)
{
    int n = 0;
    for (const char32_t c : text.toUcs4())
        n += columnsOf(c);
    return n;
}

QString Elide(const QString& text, int columns)
{
    if (Columns(text) <= columns)
        return text;
    const QLatin1String dots("...");
    if (columns < int(dots.size()))
        return QString(dots).left(qMax(0, columns));
    QString out;
    int used = 0;
    for (const char32_t c : text.toUcs4()) {
        const int w = columnsOf(c);
        if (used + w > columns - int(dots.size()))
            break;
        out += QString::fromUcs4(&c, 1);
        used += w;
    }
    return out + dots;
}

} // namespace SafeText
