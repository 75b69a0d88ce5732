#pragma once

#include <QList>

class HotArea;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QWidget;

// The options window's controls at their places on its skin; the window connects them.
struct OptionsUi
{
    void setup(QWidget* window);
    QList<QLineEdit*> timeBoxes() const;

    QComboBox* cmbSR = nullptr;
    QCheckBox* chkMC = nullptr;
    QLineEdit* txtFromH = nullptr;
    QLineEdit* txtFromM = nullptr;
    QLineEdit* txtFromS = nullptr;
    QLineEdit* txtToH = nullptr;
    QLineEdit* txtToM = nullptr;
    QLineEdit* txtToS = nullptr;
    // Files at once: "Auto" (one per processor core), then 1 to 8; the position is the setting.
    QComboBox* cmbFiles = nullptr;
    // Output files: "Keep the folders", "All in one folder", "Beside each original"; and if a file is
    // already there: "Keep both", "Skip the file". The positions are the settings.
    QComboBox* cmbOutputFiles = nullptr;
    QComboBox* cmbIfExists = nullptr;
    HotArea* picButtonBR = nullptr;
    HotArea* picButtonFiles = nullptr;
    HotArea* picButtonOutputFiles = nullptr;
    HotArea* picButtonIfExists = nullptr;
    HotArea* imgOK = nullptr;
    HotArea* imgBack = nullptr;
    HotArea* imgExit = nullptr;

private:
    void setupFields(QWidget* w);
    void setupButtons(QWidget* w);
};
