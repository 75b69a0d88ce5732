#pragma once

#include <QHash>
#include <QSet>
#include <QString>
#include <optional>

// Chooses the name of each output when its file starts, so that no output ever replaces a file that
// exists (another track of the batch, an input waiting or done, whatever the user keeps in the output
// folder) or a name that another file of the batch has reserved. A taken name gets " (2)", " (3)", ...
// before its extension. An input listed twice converts once: asked again, it gets the output it has.
// The tool itself never replaces either: a file made at the name while it converts makes it take the
// next free " (n)" (the same rule, NumberedName.h), and Claim records the name it actually took.
//
// "Exists" is asked of the file system itself, so a case-insensitive stick, a linked or relative folder
// and a hard link all count as they really are. Reserved names are kept in hash tables, case-folded so
// that two tracks whose names differ only in case never race for one file on such a stick, and the
// counter of each wanted name is remembered, so choosing a name costs the same at the 100,000th file.
class OutputNames
{
public:
    static constexpr int kMaxTries = 10000;

    // Forgets every reservation: a new batch starts.
    void reset();

    // The path this input's output gets, given the path the naming rule asks for; nothing when no free
    // name was found within kMaxTries counters.
    std::optional<QString> Reserve(const QString& input, const QString& wanted);

    // A name the batch wrote to that was not reserved (the tool took " (n)" or a mapped name).
    void Claim(const QString& path);

    // What skip mode finds for an input at the name it owns.
    struct Looked
    {
        enum class Found {
            Nothing,  // free: path is reserved for this input
            Output,   // a converted output, there before the batch: the input is skipped
            InTheWay, // something that is no converted output (what says it): nothing may replace it
            NoName    // nothing found, but no free name either (see Reserve)
        };
        Found found = Found::NoName;
        QString path; // the name looked at, or the one reserved
        QString what; // for InTheWay: "an empty file", "a folder", "a link to nothing", ...
    };

    // Skip mode. The k-th input of the batch, in the order they start, that wants a name owns that name
    // numbered as keep-both mode numbers it (the name itself, then " (2)", " (3)", ...), on every run, so
    // two inputs of one output name each find their own output again, and neither is taken for the other.
    // An output there counts under the name itself or the name a stick that refuses some of its
    // characters gave it (FatName). A name this batch already wrote or reserved was not there before:
    // the input then takes the next free name.
    Looked Look(const QString& input, const QString& wanted);

    // Whether Look would find a converted output at this name for the first input that wants it (the
    // name itself or its FAT-mapped form), reserving nothing.
    static bool HoldsOutput(const QString& wanted);

    // The output reserved for this input in this batch; empty when it has none.
    QString ReservedFor(const QString& input) const { return m_byInput.value(input); }

    int reservedCount() const { return int(m_reserved.size()); }

    // True when something exists at this path (a dangling link included).
    static bool Exists(const QString& path);

    // "name (n).ext" for "name.ext", with the extension being the file name's last one.
    static QString Numbered(const QString& path, int n);

private:
    // The folder of a path, resolved, with a trailing "/"; resolved once per folder and batch.
    QString FolderKey(const QString& path);
    // The first free name from the counter up, reserved for the input.
    std::optional<QString> reserveFrom(const QString& input, const QString& wanted, const QString& wantedKey,
                                       const QString& folderKey, int counter);

    QHash<QString, QString> m_byInput;    // input path as listed -> its output
    QSet<QString> m_reserved;             // key of every reserved output
    QHash<QString, int> m_lastCounter;    // key of a wanted path -> the last counter given for it
    QHash<QString, int> m_wanting;        // key of a wanted path -> how many inputs looked for it (skip mode)
    QHash<QString, QString> m_folderKeys; // folder as written -> its key
};
