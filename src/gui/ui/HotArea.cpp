#include "HotArea.h"

#include "skin/FocusRing.h"
#include "skin/Palette.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <cstring>

HotArea::HotArea(QWidget* parent) : QAbstractButton(parent)
{
    setMouseTracking(true);
    setFocusPolicy(Qt::TabFocus);
}

void HotArea::setCaption(const QString& caption)
{
    // Not setText(): an ampersand there would make a mnemonic of its own.
    setAccessibleName(caption);
}

HotArea* HotArea::create(QWidget* parent, const char* name, const QRect& rect, const QString& tip)
{
    auto* a = new HotArea(parent);
    a->setObjectName(QString::fromLatin1(name));
    a->setGeometry(rect);
    if (!tip.isEmpty()) {
        a->setToolTip(tip);
        a->setAccessibleName(tip);
    }
    return a;
}

void HotArea::setLooks(const QPixmap& lit, std::optional<QPixmap> pressed)
{
    const auto same = [](const QPixmap& a, const QPixmap& b) { return a.cacheKey() == b.cacheKey(); };
    const bool changed =
        !same(lit, m_lit) || pressed.has_value() != m_pressed.has_value() || (pressed && !same(*pressed, *m_pressed));
    // The old face must not stay up (the Stop button's, pressed, after the click that stopped): the new
    // one shows at once, lit while the pointer is still over it.
    const bool showingOld = !m_shown.isNull() && (same(m_shown, m_lit) || (m_pressed && same(m_shown, *m_pressed)));
    m_lit = lit;
    m_pressed = std::move(pressed);
    if (changed && showingOld)
        show(underMouse() && !m_lit.isNull() ? m_lit : m_resting);
}

void HotArea::setRestingLook(const QPixmap& resting)
{
    const bool atRest = m_shown.cacheKey() == m_resting.cacheKey();
    m_resting = resting;
    if (atRest)
        show(m_resting);
}

void HotArea::show(const QPixmap& look)
{
    if (look.cacheKey() == m_shown.cacheKey())
        return;
    m_shown = look;
    update();
}

void HotArea::showLit()
{
    clearGroup();
    show(m_lit);
}

void HotArea::clearLook()
{
    show(m_resting);
}

void HotArea::ClearAll(QWidget* window)
{
    for (HotArea* a : window->findChildren<HotArea*>())
        a->clearLook();
}

void HotArea::mouseMoveEvent(QMouseEvent* event)
{
    QAbstractButton::mouseMoveEvent(event);
    if (!m_lit.isNull() || m_group)
        showLit();
    emit mouseMoved();
    event->accept();
}

void HotArea::clearGroup()
{
    if (!m_group || !parentWidget())
        return;
    for (HotArea* other : parentWidget()->findChildren<HotArea*>(Qt::FindDirectChildrenOnly)) {
        if (other->m_group && std::strcmp(other->m_group, m_group) == 0)
            other->clearLook();
    }
}

void HotArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        clearGroup();
        show(*m_pressed);
    }
    QAbstractButton::mousePressEvent(event);
    event->accept();
}

bool HotArea::event(QEvent* event)
{
    // A focused button takes Enter for itself before a dialog's default button can.
    if (event->type() == QEvent::ShortcutOverride) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier &&
            (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)) {
            event->accept();
            return true;
        }
    }
    return QAbstractButton::event(event);
}

void HotArea::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if ((key == Qt::Key_Return || key == Qt::Key_Enter) && !event->isAutoRepeat()) {
        if (isEnabled())
            click();
        event->accept();
        return;
    }
    if (key == Qt::Key_Space && !event->isAutoRepeat() && m_pressed) {
        clearGroup();
        show(*m_pressed);
    }
    QAbstractButton::keyPressEvent(event);
}

void HotArea::keyReleaseEvent(QKeyEvent* event)
{
    if (event->key() == Qt::Key_Space && !event->isAutoRepeat())
        clearLook();
    QAbstractButton::keyReleaseEvent(event);
}

void HotArea::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (!m_shown.isNull()) {
        const QSize size = m_shown.deviceIndependentSize().toSize();
        p.drawPixmap(QStyle::alignedRect(layoutDirection(), Qt::AlignLeft | Qt::AlignVCenter, size, rect()), m_shown);
    }
    if (m_dim && !isEnabled()) {
        p.setRenderHint(QPainter::Antialiasing);
        p.setPen(Qt::NoPen);
        p.setBrush(Palette::kDimVeil);
        p.drawRoundedRect(QRectF(rect()).adjusted(1, 1, -1, -1), 6, 6);
    }
    if (hasFocus())
        FocusRing::paint(p, rect(), isEnabled());
}
