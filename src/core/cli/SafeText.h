#pragma once

#include <QString>

// Text from outside (file names, a tool's last line) made fit for a terminal: a name may hold an escape
// sequence, a carriage return or a newline, which would move the cursor, rewrite the screen or forge a
// line of our output. Such characters are shown as escapes instead, and nothing else is changed.
namespace SafeText {

// Control characters (C0, DEL, C1) and the invisible format characters that reorder or hide text
// (bidirectional overrides, zero-width marks) as "\n", "\t", "\r", "\e", "\x01" or "\u202E"; a byte of a
// name that is not UTF-8 (PathBytes) as "\xFF", so the name printed is the real one.
QString Escape(const QString& text);

// Columns the text takes on a terminal: East Asian wide characters take two, combining marks none.
int Columns(const QString& text);

// The text cut to at most the given columns, ending in "..." when it was cut.
QString Elide(const QString& text, int columns);

} // namespace SafeText
