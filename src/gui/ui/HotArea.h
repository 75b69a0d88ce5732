#pragma once

#include <QLabel>

// A transparent area over a button painted in the skin (or a plain image button): it reports
// pointer moves without a held button, presses and clicks, and can show a borrowed picture.
class HotArea : public QLabel
{
    Q_OBJECT
public:
    explicit HotArea(QWidget* parent = nullptr);
    // A named area at a rectangle of its window, with its tooltip (none when empty).
    static HotArea* create(QWidget* parent, const char* name, const QRect& rect, const QString& tip = QString());

    // A disabled area veils the painted button under it, so a locked command looks locked.
    void setDimWhenDisabled(bool dim) { m_dim = dim; }

signals:
    void mouseMoved();
    void pressed();
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_dim = false;
};
