#pragma once

#include <QString>
#include <optional>

// How settings files and tool output turn text into numbers.
namespace NumberRules {

// The leading decimal number of a text (blanks before it skipped, a sign, digits, a fraction, an
// exponent); 0 when the text does not start with one.
double LeadingNumber(const QString& text);

// The whole text as a decimal number (blanks around it allowed); nothing when it is not one.
std::optional<double> WholeNumber(const QString& text);

// The nearest integer, halves to the even neighbour; nothing when it does not fit between lo and hi.
std::optional<qint64> RoundHalfEven(double value, qint64 lo, qint64 hi);

inline std::optional<qint64> ToInt16(double value)
{
    return RoundHalfEven(value, -32768, 32767);
}
inline std::optional<qint64> ToInt32(double value)
{
    return RoundHalfEven(value, -2147483647LL - 1, 2147483647LL);
}

} // namespace NumberRules
