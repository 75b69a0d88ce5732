#pragma once

#include <QByteArray>
#include <QList>

// A command line is one byte string, as Windows programs receive it. These functions split it into an
// argument vector by the rules such programs apply to their own command line, and quote an argument so
// that the split gives it back unchanged. No shell is involved at any point.
namespace CommandLineSplit {

// Whitespace (space, tab) outside double quotes separates arguments; a double quote toggles quoting.
// Backslashes are literal unless they precede a double quote: 2n of them and a quote give n backslashes
// and a toggle, 2n+1 give n backslashes and a literal quote. A pair of quotes yields an empty argument.
QList<QByteArray> split(const QByteArray& commandLine);

// Double quotes around the argument, with quotes and the backslashes before them escaped.
QByteArray quote(const QByteArray& argument);

// quote() only when the split would otherwise break the argument apart or change it.
QByteArray quoteIfNeeded(const QByteArray& argument);

} // namespace CommandLineSplit
