#include "CommandLineSplit.h"

namespace CommandLineSplit {

QList<QByteArray> split(const QByteArray& commandLine)
{
    QList<QByteArray> args;
    QByteArray current;
    bool inArgument = false;
    bool quoted = false;
    const qsizetype n = commandLine.size();
    for (qsizetype i = 0; i < n;) {
        const char c = commandLine[i];
        if (c == '\\') {
            qsizetype run = 0;
            while (i < n && commandLine[i] == '\\') {
                ++run;
                ++i;
            }
            inArgument = true;
            if (i < n && commandLine[i] == '"') {
                current.append(run / 2, '\\');
                if (run % 2 == 1) {
                    current.append('"');
                    ++i;
                }
                // With an even run the quote is left for the next turn, where it toggles quoting.
            } else {
                current.append(run, '\\');
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
            ++i;
            continue;
        }
        if (!quoted && (c == ' ' || c == '\t')) {
            if (inArgument) {
                args.append(current);
                current.clear();
                inArgument = false;
            }
            ++i;
            continue;
        }
        current.append(c);
        inArgument = true;
        ++i;
    }
    if (inArgument)
        args.append(current);
    return args;
}

QByteArray quote(const QByteArray& argument)
{
    QByteArray out;
    out.reserve(argument.size() + 2);
    out.append('"');
    qsizetype backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        if (c == '"') {
            out.append(backslashes * 2 + 1, '\\');
            out.append('"');
        } else {
            out.append(backslashes, '\\');
            out.append(c);
        }
        backslashes = 0;
    }
    // Backslashes right before the closing quote must be doubled or they would escape it.
    out.append(backslashes * 2, '\\');
    out.append('"');
    return out;
}

QByteArray quoteIfNeeded(const QByteArray& argument)
{
    if (argument.isEmpty())
        return quote(argument);
    for (const char c : argument) {
        if (c == ' ' || c == '\t' || c == '"')
            return quote(argument);
    }
    return argument;
}

} // namespace CommandLineSplit
