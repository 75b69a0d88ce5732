#include "NameOrder.h"

#include <QCollatorSortKey>
#include <QLocale>
#include <algorithm>
#include <numeric>
#include <vector>

namespace NameOrder {

QCollator Collator()
{
    QLocale locale;
    if (locale.language() == QLocale::C)
        locale = QLocale(QLocale::English, QLocale::UnitedStates);
    QCollator collator(locale);
    collator.setNumericMode(true);
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    return collator;
}

void Sort(QList<QString>& names, const QCollator& collator)
{
    if (names.size() < 2)
        return;
    std::vector<QCollatorSortKey> keys;
    keys.reserve(size_t(names.size()));
    for (const QString& n : names)
        keys.push_back(collator.sortKey(n));
    std::vector<qsizetype> order(size_t(names.size()));
    std::iota(order.begin(), order.end(), qsizetype(0));
    // Names equal to the collator (differing in case only) keep a fixed order among themselves.
    std::sort(order.begin(), order.end(), [&](qsizetype a, qsizetype b) {
        const int c = keys[size_t(a)].compare(keys[size_t(b)]);
        return c != 0 ? c < 0 : names[a] < names[b];
    });
    QList<QString> sorted;
    sorted.reserve(names.size());
    for (qsizetype i : order)
        sorted.append(std::move(names[i]));
    names = std::move(sorted);
}

} // namespace NameOrder
