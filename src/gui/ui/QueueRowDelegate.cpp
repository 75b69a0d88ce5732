#include "QueueRowDelegate.h"

#include "skin/Palette.h"

#include <QPainter>

QueueRowDelegate::QueueRowDelegate(int progressRole, QObject* parent)
    : QStyledItemDelegate(parent), m_progressRole(progressRole)
{}

void QueueRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const int progress = index.data(m_progressRole).toInt();
    if (progress < 0 || !index.data(m_progressRole).isValid()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    painter->save();
    painter->fillRect(option.rect, Palette::kRowConverting);
    if (index.column() == 0) {
        QRect done = option.rect.adjusted(0, 3, 0, -3);
        done.setWidth(option.rect.width() * qBound(0, progress, 100) / 100);
        painter->fillRect(done, Palette::kRowDone);
    }
    painter->restore();
    QStyleOptionViewItem text = option;
    text.palette.setColor(QPalette::Text, index.column() == 1 ? Palette::kAccentHigh : Palette::kRowConvertingText);
    text.font.setBold(index.column() == 1);
    text.backgroundBrush = Qt::NoBrush;
    QStyledItemDelegate::paint(painter, text, index);
}
