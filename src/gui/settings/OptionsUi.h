#pragma once

#include <QList>

class HotArea;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// The options window's controls at their places on its skin; the window connects them. The lists are
// built from OptionRows, one per row, in its order.
struct OptionsUi
{
    void setup(QWidget* window);
    QList<QLineEdit*> timeBoxes() const;

    QList<QComboBox*> lists;
    QList<HotArea*> drops;           // each list's drop button, at the same position
    QLineEdit* txtPattern = nullptr; // the user's own output name pattern, below the lists
    QCheckBox* chkMC = nullptr;
    QLineEdit* txtFromH = nullptr;
    QLineEdit* txtFromM = nullptr;
    QLineEdit* txtFromS = nullptr;
    QLineEdit* txtToH = nullptr;
    QLineEdit* txtToM = nullptr;
    QLineEdit* txtToS = nullptr;
    HotArea* imgOK = nullptr;
    HotArea* imgBack = nullptr;
    HotArea* imgExit = nullptr;

private:
    void setupLists(QWidget* w);
    void setupCutter(QWidget* w);
    void setupButtons(QWidget* w);
    void setupTabOrder();
};
