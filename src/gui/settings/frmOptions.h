#pragma once

#include "settings/OptionSettings.h"
#include "ui/SkinnedWindow.h"

class HotArea;
class QCheckBox;
class QComboBox;
class QLineEdit;

// The options window: the end-of-batch sound, the music cutter and how many files convert at once. OK
// checks the times, stores the settings and writes options.ini; Back and the close button discard every
// change.
class frmOptions : public SkinnedWindow
{
    Q_OBJECT
public:
    // settingsFolder: where options.ini is written.
    frmOptions(OptionSettings& options, const QString& settingsFolder, QWidget* parent = nullptr);

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
    HotArea* picButtonBR = nullptr;
    HotArea* picButtonFiles = nullptr;
    HotArea* imgOK = nullptr;
    HotArea* imgBack = nullptr;
    HotArea* imgExit = nullptr;

    QPixmap imgOKLight;
    QPixmap imgBackLight;
    QPixmap imgExitLight;
    QPixmap imgButton;
    QPixmap imgButtonLight;

    void chkMC_Click();
    void imgOK_Click();
    void imgBack_Click() { close(); }

    // Shows the window modally, centred on the screen, and returns when it is closed.
    static void ShowModal(OptionSettings& options, const QString& programFolder);

private:
    void Form_Load();
    void Form_MouseMove();
    QList<QLineEdit*> timeBoxes() const;

    OptionSettings& m_options;
    QString m_programFolder;
};
