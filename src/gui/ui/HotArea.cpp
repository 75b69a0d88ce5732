#include "HotArea.h"

#include <QMouseEvent>
#include <QPainter>

HotArea::HotArea(QWidget* parent) : QLabel(parent)
{
    setMouseTracking(true);
}

HotArea* HotArea::create(QWidget* parent, const char* name, const QRect& rect, const QString& tip)
{
    auto* a = new HotArea(parent);
    a->setObjectName(QString::fromLatin1(name));
    a->setGeometry(rect);
    if (!tip.isEmpty())
        a->setToolTip(tip);
    return a;
}

void HotArea::mouseMoveEvent(QMouseEvent* event)
{
    emit mouseMoved();
    event->accept();
}

void HotArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        emit pressed();
    event->accept();
}

void HotArea::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}

void HotArea::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!m_dim || isEnabled())
        return;
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(24, 32, 43, 165));
    p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
}
