#pragma once

#include <QCollator>
#include <QList>
#include <QString>

// Orders file names the way people read them and file managers show them: case-insensitive, numbers by
// value ("Track 2" before "Track 10"), accents by the user's locale. Under the C or POSIX locale the
// collator would fall back to code-point order, where numbers do not count; names are then collated as
// English.
namespace NameOrder {

QCollator Collator();

// Sorts in place. Sort keys are made once per name, which at 100,000 names is several times quicker
// than comparing names pair by pair.
void Sort(QList<QString>& names, const QCollator& collator);

} // namespace NameOrder
