#pragma once

#include <QByteArray>
#include <QString>

// A cue sheet's bytes as text. Rippers write them in whatever the machine used: UTF-8 with or without a
// byte order mark, UTF-16 from some Windows tools, and very often the Windows code page of the day. The
// parser reads only UTF-8, so everything becomes UTF-8 first: a byte order mark decides (UTF-8 or UTF-16,
// either order); else text that is valid UTF-8 is UTF-8; else the locale's 8-bit encoding, when it is
// one, and Windows-1252 when it is not.
namespace CueText {

struct Decoded
{
    QString text; // without a byte order mark
    // The encoding read when it was not UTF-8 ("UTF-16LE", "ISO-8859-2", "Windows-1252"), to be said
    // where the tracks are listed; empty for UTF-8.
    QString encoding;
};

Decoded Decode(const QByteArray& bytes);

// Windows-1252: each byte one character; the five bytes it leaves undefined stay C1 controls.
QString FromWindows1252(const QByteArray& bytes);

} // namespace CueText
