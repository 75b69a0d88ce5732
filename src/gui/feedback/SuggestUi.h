#pragma once

class HotArea;
class QLabel;
class QLineEdit;
class QWidget;

// The feedback form's controls at their places on its skin; the form connects them.
struct SuggestUi
{
    void setup(QWidget* window);

    QLineEdit* txtName = nullptr;
    QLineEdit* txtEMail = nullptr;
    QLineEdit* txtComment = nullptr;
    QLabel* lblSending = nullptr;
    HotArea* imgSend = nullptr;
    HotArea* imgBack = nullptr;
    HotArea* imgExit = nullptr;

private:
    void setupFields(QWidget* w);
    void setupButtons(QWidget* w);
};
