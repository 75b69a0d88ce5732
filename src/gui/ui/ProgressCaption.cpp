#include "ProgressCaption.h"

#include <QAccessibleWidget>
#include <QPainter>
#include <QStyle>
#include <algorithm>

namespace {
class AccessibleProgress : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit AccessibleProgress(QWidget* w) : QAccessibleWidget(w, QAccessible::ProgressBar) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return QStringLiteral("Progress: ") + caption()->text();
        if (t == QAccessible::Value)
            return caption()->text();
        return QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        return s;
    }

    QVariant currentValue() const override { return caption()->value(); }
    void setCurrentValue(const QVariant&) override {}
    QVariant maximumValue() const override { return 100; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

private:
    const ProgressCaption* caption() const { return static_cast<const ProgressCaption*>(widget()); }
};

QAccessibleInterface* progressFactory(const QString& className, QObject* object)
{
    if (className == QLatin1String("ProgressCaption") && object && object->isWidgetType())
        return new AccessibleProgress(static_cast<QWidget*>(object));
    return nullptr;
}
} // namespace

ProgressCaption::ProgressCaption(QWidget* parent) : QLabel(parent)
{
    static const bool installed = [] {
        QAccessible::installFactory(progressFactory);
        return true;
    }();
    Q_UNUSED(installed);
}

void ProgressCaption::setValue(int percent)
{
    percent = std::clamp(percent, 0, 100);
    if (percent == m_value)
        return;
    m_value = percent;
    QAccessibleValueChangeEvent event(this, percent);
    QAccessible::updateAccessibility(&event);
}

void ProgressCaption::paintEvent(QPaintEvent* event)
{
    // A long status ("4 files were already there and were skipped.") ends in "..." rather than being cut
    // off mid-word; the whole text is still the caption's, for a screen reader and for anyone asking.
    const QFontMetrics metrics(font());
    const QRect area = contentsRect();
    if (metrics.horizontalAdvance(text()) <= area.width()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter p(this);
    style()->drawItemText(&p, area, int(alignment()), palette(), isEnabled(),
                          metrics.elidedText(text(), Qt::ElideRight, area.width()), foregroundRole());
}
