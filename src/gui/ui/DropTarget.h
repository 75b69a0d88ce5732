#pragma once

#include <QList>
#include <QObject>
#include <QUrl>

class QWidget;

// Makes widgets accept file drops from the file manager (copy, never move) and reports each drop of
// addresses as one signal; a drag that carries no addresses is refused.
class DropTarget : public QObject
{
    Q_OBJECT
public:
    explicit DropTarget(QObject* parent = nullptr) : QObject(parent) {}
    void watch(QWidget* target);

signals:
    void dropped(const QList<QUrl>& urls);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};
