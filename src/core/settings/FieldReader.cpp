#include "FieldReader.h"

namespace {
bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}
bool isLineEnd(QChar c)
{
    return c == QLatin1Char('\r') || c == QLatin1Char('\n');
}
} // namespace

std::optional<QString> FieldReader::next()
{
    const qsizetype n = m_text.size();
    while (m_pos < n && isBlank(m_text[m_pos]))
        ++m_pos;
    if (m_pos >= n)
        return std::nullopt;

    QString value;
    if (m_text[m_pos] == QLatin1Char('"')) {
        const qsizetype close = m_text.indexOf(QLatin1Char('"'), m_pos + 1);
        const qsizetype end = close < 0 ? n : close;
        value = m_text.mid(m_pos + 1, end - m_pos - 1);
        m_pos = close < 0 ? n : close + 1;
        // Anything between the closing quote and the separator is not part of any field.
        while (m_pos < n && m_text[m_pos] != QLatin1Char(',') && !isLineEnd(m_text[m_pos]))
            ++m_pos;
    } else {
        const qsizetype start = m_pos;
        while (m_pos < n && m_text[m_pos] != QLatin1Char(',') && !isLineEnd(m_text[m_pos]))
            ++m_pos;
        value = m_text.mid(start, m_pos - start);
        while (!value.isEmpty() && isBlank(value.back()))
            value.chop(1);
    }
    // Step over one separator: a comma, or a line end (CR LF counts as one).
    if (m_pos < n) {
        if (m_text[m_pos] == QLatin1Char(',')) {
            ++m_pos;
        } else if (m_text[m_pos] == QLatin1Char('\r')) {
            ++m_pos;
            if (m_pos < n && m_text[m_pos] == QLatin1Char('\n'))
                ++m_pos;
        } else if (m_text[m_pos] == QLatin1Char('\n')) {
            ++m_pos;
        }
    }
    return value;
}
