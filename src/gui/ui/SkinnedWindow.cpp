#include "SkinnedWindow.h"

#include "skin/SkinArt.h"

#include <QBitmap>
#include <QCloseEvent>
#include <QEventLoop>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

SkinnedWindow::SkinnedWindow(QWidget* parent) : QWidget(parent)
{
    setWindowFlag(Qt::FramelessWindowHint);
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SkinnedWindow::setSkin(const QPixmap& skin)
{
    m_skin = skin;
    setFixedSize(skin.size());
    // Key-coloured pixels are left out of the mask: transparent, and clicks there fall through.
    setMask(skin.createMaskFromColor(SkinArt::kKey, Qt::MaskInColor));
    update();
}

double SkinnedWindow::twipsPerPixelX() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dpi = s ? s->logicalDotsPerInchX() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

double SkinnedWindow::twipsPerPixelY() const
{
    const QScreen* s = screen() ? screen() : QGuiApplication::primaryScreen();
    const double dpi = s ? s->logicalDotsPerInchY() : 96.0;
    return dpi > 0 ? 1440.0 / dpi : 15.0;
}

void SkinnedWindow::GeometryPass(double tx, double ty)
{
    if (tx <= 0 || ty <= 0)
        return;
    // Sizes are kept in twips at the design density (15 to the pixel); on this screen a pixel holds tx
    // (ty) twips, so each value goes through both scales and comes back to its designed pixel count.
    auto scaled = [](int pixels, double perPixel) { return qRound(pixels * 15.0 * (perPixel / 15.0) / perPixel); };
    const QSize designed = size();
    if (!m_skin.isNull())
        setFixedSize(scaled(designed.width(), tx), scaled(designed.height(), ty));
    const auto children = findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
    for (QWidget* w : children) {
        const QRect r = w->geometry();
        w->setGeometry(scaled(r.x(), tx), scaled(r.y(), ty), scaled(r.width(), tx), scaled(r.height(), ty));
        QFont f = w->font();
        if (f.pointSizeF() > 0) {
            f.setPointSizeF(f.pointSizeF() * tx / 15.0);
            w->setFont(f);
        }
    }
}

void SkinnedWindow::ExecModal()
{
    setWindowModality(Qt::ApplicationModal);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());
    QEventLoop loop;
    connect(this, &SkinnedWindow::closed, &loop, &QEventLoop::quit);
    show();
    loop.exec();
}

void SkinnedWindow::BeginDrag(const QPoint& globalPos)
{
    m_dragging = true;
    m_manualDrag = false;
    m_dragStartGlobal = globalPos;
    m_dragStartPos = pos();
}

void SkinnedWindow::EndDrag()
{
    m_dragging = false;
    m_manualDrag = false;
}

void SkinnedWindow::BackgroundDrag(const QPoint& globalPos, Qt::MouseButtons buttons)
{
    if (!m_dragging)
        return;
    if (!(buttons & Qt::LeftButton)) {
        EndDrag();
        return;
    }
    if (!m_manualDrag) {
        // The window manager moves the window itself where it can; the drag is then over for us.
        if (QWindow* w = windowHandle(); w && w->startSystemMove()) {
            EndDrag();
            return;
        }
        m_manualDrag = true;
    }
    move(m_dragStartPos + (globalPos - m_dragStartGlobal));
}

void SkinnedWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    if (m_skin.isNull())
        p.fillRect(rect(), palette().window());
    else
        p.drawPixmap(0, 0, m_skin);
}

void SkinnedWindow::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && !childAt(event->position().toPoint()))
        BeginDrag(event->globalPosition().toPoint());
    QWidget::mousePressEvent(event);
}

void SkinnedWindow::mouseMoveEvent(QMouseEvent* event)
{
    // Moves that a control passed on (a list, a selector) are not over the bare background.
    if (childAt(event->position().toPoint()) && !m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    BackgroundDrag(event->globalPosition().toPoint(), event->buttons());
    emit backgroundMoved();
    QWidget::mouseMoveEvent(event);
}

void SkinnedWindow::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        EndDrag();
    QWidget::mouseReleaseEvent(event);
}

void SkinnedWindow::closeEvent(QCloseEvent* event)
{
    QWidget::closeEvent(event);
    if (event->isAccepted())
        emit closed();
}
