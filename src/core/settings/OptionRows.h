#pragma once

#include "OptionSettings.h"

#include <QList>
#include <QString>
#include <QStringList>

// The Options window's lists, top to bottom: what each shows and which setting it sets. The window
// builds, paints, loads and saves its lists from this table, and the terminal mode takes its options
// for the same settings from it, so a new list is one row here (with its setting, its options.ini line
// and whatever uses it).
namespace OptionRows {

struct Row
{
    const char* listName;   // the list's object name
    const char* buttonName; // the object name of the drop button that opens it
    QString caption;        // painted beside the list; a "\n" makes two short lines
    QStringList items;      // the setting is the position of the item chosen
    QString toolTip;
    qint32 (*get)(const OptionSettings&);
    void (*set)(OptionSettings&, qint32);

    // The terminal mode's option for the setting ("--NAME WORD"; none when empty): a word per item, in
    // the items' order, compared without regard to case; or a flag ("--NAME").
    QString option;
    QChar shortOption; // "-X", or nothing
    QString valueName; // how the help names the value
    QStringList words;
    QString accepted;  // what a refusal offers instead; the words joined by "|" when empty
    QString help;      // the help's text for the option; "\n" continues it on the next line
    bool flag = false; // the option takes no word: given, it sets the last item

    int count() const { return int(items.size()); }
    // The position the setting shows in the list: the value itself, or the last item for a value out
    // of range (which only the sound reminder's 16 bits can hold, where anything but 0 is silent).
    int position(const OptionSettings& options) const;
};

const QList<Row>& All();

// The row of a list, by its object name; nullptr for none.
const Row* Find(const QString& listName);

} // namespace OptionRows
