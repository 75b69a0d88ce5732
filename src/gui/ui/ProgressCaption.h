#pragma once

#include <QLabel>

// The caption over the progress bar ("41%", "Done."), which speaks for the bar: to the accessibility
// interface it is a progress bar from 0 to 100 with the batch's percentage as its value and the caption
// as its name, and a change of value is announced as one.
class ProgressCaption : public QLabel
{
    Q_OBJECT
public:
    explicit ProgressCaption(QWidget* parent = nullptr);

    int value() const { return m_value; }
    void setValue(int percent);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_value = 0;
};
