#pragma once

#include <QStyledItemDelegate>

// Draws the file list's rows; a row being converted (while several files convert at once) gets a bar
// behind its name as long as the conversion has come, and its percentage in the Format column.
class QueueRowDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    explicit QueueRowDelegate(int progressRole, QObject* parent = nullptr);
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    int m_progressRole;
};
