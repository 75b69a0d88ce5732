#include "QueueRowDelegate.h"

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
    painter->fillRect(option.rect, QColor(20, 44, 48));
    if (index.column() == 0) {
        QRect done = option.rect.adjusted(0, 3, 0, -3);
        done.setWidth(option.rect.width() * qBound(0, progress, 100) / 100);
        painter->fillRect(done, QColor(31, 111, 102, 170));
    }
    painter->restore();
    QStyleOptionViewItem text = option;
    text.palette.setColor(QPalette::Text, index.column() == 1 ? QColor(64, 214, 190) : QColor(240, 246, 250));
    text.font.setBold(index.column() == 1);
    text.backgroundBrush = Qt::NoBrush;
    QStyledItemDelegate::paint(painter, text, index);
}
