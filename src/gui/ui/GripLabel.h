#pragma once

#include <QLabel>

// A label on a skinned window's title bar that drags the window like the bare background around it, but
// leaves the window's hot areas as they are.
class GripLabel : public QLabel
{
    Q_OBJECT
public:
    explicit GripLabel(QWidget* parent = nullptr);

protected:
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
};
