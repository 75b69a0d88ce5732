#pragma once

#include <QString>
#include <optional>

// Reads the fields of a settings file one after another. Blanks before a field are skipped; a field
// that begins with a double quote ends at the next double quote (commas inside belong to it); an
// unquoted field ends at the first comma or the line end, trailing blanks dropped. Lines end in CR LF
// or LF.
class FieldReader
{
public:
    explicit FieldReader(const QString& text) : m_text(text) {}

    // The next field; nothing once the text is used up.
    std::optional<QString> next();

private:
    QString m_text;
    qsizetype m_pos = 0;
};
