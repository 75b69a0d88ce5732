#pragma once

#include <QLabel>

// A transparent area over a button painted in the skin (or a plain image button): it reports
// pointer moves without a held button, presses and clicks, and can show a borrowed picture.
class HotArea : public QLabel
{
    Q_OBJECT
public:
    explicit HotArea(QWidget* parent = nullptr);

signals:
    void mouseMoved();
    void pressed();
    void clicked();

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
