#pragma once

#include <QLabel>

// A line of text on the skin that works as a link: a left click inside it (released inside, while it is
// enabled) emits clicked(). With bold hover it turns bold under the pointer until clearHover(). A move
// over it is its own, never a move over the bare background. Tab reaches it; Enter or Space follows it, and
// while it has the focus it wears the skin's focus ring. To the accessibility interface it is a link.
class LinkLabel : public QLabel
{
    Q_OBJECT
public:
    explicit LinkLabel(QWidget* parent = nullptr);

    void setBoldOnHover(bool bold) { m_boldOnHover = bold; }
    void clearHover();

signals:
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void setBold(bool bold);

    bool m_boldOnHover = false;
};
