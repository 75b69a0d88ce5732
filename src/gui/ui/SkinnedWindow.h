#pragma once

#include <QPixmap>
#include <QPoint>
#include <QWidget>

// A frameless window whose face is one painted picture: the key colour is cut out of its shape (clicks
// there reach whatever lies behind), and it is dragged by its bare background.
class SkinnedWindow : public QWidget
{
    Q_OBJECT
public:
    explicit SkinnedWindow(QWidget* parent = nullptr);

    // Lays the skin at the top-left corner and cuts the window to its shape.
    void setSkin(const QPixmap& skin);
    QPixmap skin() const { return m_skin; }

    // Twips per pixel of the screen the window is on: 1440 / logical DPI, 15 at 96 DPI.
    double twipsPerPixelX() const;
    double twipsPerPixelY() const;

    // Keeps the designed pixel sizes on any display density: positions and sizes stay in pixels,
    // fonts are scaled by tx / 15. Runs once, at load.
    void GeometryPass(double tx, double ty);
    void GeometryPass() { GeometryPass(twipsPerPixelX(), twipsPerPixelY()); }

    // Shows the window modally, centred on the screen, and returns when it has been closed.
    void ExecModal();

    // Drags the window while the left button is held; called for pointer moves over the bare background
    // and over labels that drag like it.
    void BackgroundDrag(const QPoint& globalPos, Qt::MouseButtons buttons);
    // Starts a drag from a press on the background or a dragging label.
    void BeginDrag(const QPoint& globalPos);
    void EndDrag();

signals:
    // A pointer move over the bare background, after the drag: the window resets its hot areas.
    void backgroundMoved();
    // The window was closed, by any way out.
    void closed();

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    QPixmap m_skin;
    bool m_dragging = false;
    bool m_manualDrag = false;
    QPoint m_dragStartGlobal;
    QPoint m_dragStartPos;
};
