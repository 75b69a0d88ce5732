#include "LinkLabel.h"

#include "skin/FocusRing.h"

#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {
// A label speaks as static text; this one is followed like a link, so it says so, with its text as name.
class AccessibleLink : public QAccessibleWidget
{
public:
    explicit AccessibleLink(QWidget* w) : QAccessibleWidget(w, QAccessible::Link) { addControllingSignal("clicked()"); }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return static_cast<QLabel*>(widget())->text();
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && widget()->isEnabled())
            QMetaObject::invokeMethod(widget(), "clicked");
    }
};

QAccessibleInterface* linkFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("LinkLabel") && object && object->isWidgetType())
        return new AccessibleLink(static_cast<QWidget*>(object));
    return nullptr;
}
} // namespace

LinkLabel::LinkLabel(QWidget* parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(linkFactory);
        return true;
    }();
    Q_UNUSED(installed);
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
}

void LinkLabel::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space) {
        event->accept();
        if (isEnabled() && !event->isAutoRepeat())
            emit clicked();
        return;
    }
    QLabel::keyPressEvent(event);
}

void LinkLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    if (!hasFocus())
        return;
    QPainter p(this);
    FocusRing::paint(p, rect(), isEnabled());
}

void LinkLabel::setBold(bool bold)
{
    QFont f = font();
    if (f.bold() == bold)
        return;
    f.setBold(bold);
    setFont(f);
}

void LinkLabel::clearHover()
{
    if (m_boldOnHover)
        setBold(false);
}

void LinkLabel::mouseMoveEvent(QMouseEvent* event)
{
    if (m_boldOnHover)
        setBold(true);
    event->accept();
}

void LinkLabel::mousePressEvent(QMouseEvent* event)
{
    event->accept();
}

void LinkLabel::mouseReleaseEvent(QMouseEvent* event)
{
    event->accept();
    if (event->button() == Qt::LeftButton && isEnabled() && rect().contains(event->position().toPoint()))
        emit clicked();
}
