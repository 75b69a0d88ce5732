#pragma once

#include "FieldReader.h"
#include "NumberRules.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>

// A settings file of one setting per line, in a fixed order: a number written bare, or a text written
// in double quotes (as setup.ini quotes its folder). Lines are only ever added at the end, so a file an
// older version wrote, which ends early, reads the later settings as their defaults, and a newer file
// read by an older version keeps the lines that version knows.
template <typename Settings> struct SettingsLine
{
    // What a line that is missing or does not read as a number in range leaves: the value the setting
    // has, or its default.
    enum class Unreadable { KeepsValue, MeansDefault };

    // A number: its leading decimal number, rounded half to even, between lo and hi.
    static SettingsLine Number(qint64 lo, qint64 hi, Unreadable unreadable, qint64 fallback,
                               std::function<qint64(const Settings&)> get, std::function<void(Settings&, qint64)> set)
    {
        SettingsLine line;
        line.lo = lo;
        line.hi = hi;
        line.unreadable = unreadable;
        line.fallback = fallback;
        line.getNumber = std::move(get);
        line.setNumber = std::move(set);
        return line;
    }

    // A text; a missing line is the fallback text. It cannot hold a double quote or a line break: the
    // writer leaves those out, since they would end the field.
    static SettingsLine Text(QString fallback, std::function<QString(const Settings&)> get,
                             std::function<void(Settings&, const QString&)> set)
    {
        SettingsLine line;
        line.fallbackText = std::move(fallback);
        line.getText = std::move(get);
        line.setText = std::move(set);
        return line;
    }

    bool isText() const { return bool(getText); }

    qint64 lo = 0;
    qint64 hi = 0;
    Unreadable unreadable = Unreadable::MeansDefault;
    qint64 fallback = 0;
    QString fallbackText;
    std::function<qint64(const Settings&)> getNumber;
    std::function<void(Settings&, qint64)> setNumber;
    std::function<QString(const Settings&)> getText;
    std::function<void(Settings&, const QString&)> setText;
};

namespace SettingsLines {

// Reads every line of the table from the file's bytes into settings. Each field is read even when one
// before it failed, so later lines keep their place.
template <typename Settings>
void Read(const QList<SettingsLine<Settings>>& lines, const QByteArray& bytes, Settings& settings)
{
    FieldReader reader(QString::fromUtf8(bytes));
    for (const SettingsLine<Settings>& line : lines) {
        const std::optional<QString> field = reader.next();
        if (line.isText()) {
            line.setText(settings, field.value_or(line.fallbackText));
            continue;
        }
        const std::optional<qint64> value =
            field ? NumberRules::RoundHalfEven(NumberRules::LeadingNumber(*field), line.lo, line.hi) : std::nullopt;
        if (value)
            line.setNumber(settings, *value);
        else if (line.unreadable == SettingsLine<Settings>::Unreadable::MeansDefault)
            line.setNumber(settings, line.fallback);
    }
}

// The whole file: every line of the table, each ended by CR LF.
template <typename Settings> QByteArray Write(const QList<SettingsLine<Settings>>& lines, const Settings& settings)
{
    QByteArray bytes;
    for (const SettingsLine<Settings>& line : lines) {
        if (line.isText()) {
            QString text = line.getText(settings);
            text.remove(QLatin1Char('"')).remove(QLatin1Char('\r')).remove(QLatin1Char('\n'));
            bytes += '"' + text.toUtf8() + '"';
        } else {
            bytes += QByteArray::number(line.getNumber(settings));
        }
        bytes += "\r\n";
    }
    return bytes;
}

} // namespace SettingsLines
