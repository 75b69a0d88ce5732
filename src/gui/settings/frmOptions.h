#pragma once

#include "settings/OptionSettings.h"
#include "settings/OptionsUi.h"
#include "ui/SkinnedWindow.h"

// The options window: the end-of-batch sound, the music cutter, how many files convert at once, where
// the outputs go and what an output already there means. OK
// checks the times, stores the settings and writes options.ini; Back and the close button discard every
// change.
class frmOptions : public SkinnedWindow
{
    Q_OBJECT
public:
    // settingsFolder: where options.ini is written.
    frmOptions(OptionSettings& options, const QString& settingsFolder, QWidget* parent = nullptr);

    // The controls, for tests.
    OptionsUi& ui() { return m_ui; }

    void chkMC_Click();
    void imgOK_Click();
    void imgBack_Click() { close(); }

    // Shows the window modally, centred on the screen, and returns when it is closed.
    static void ShowModal(OptionSettings& options, const QString& settingsFolder);

private:
    void Form_Load();
    void Form_MouseMove();

    OptionSettings& m_options;
    QString m_settingsFolder;
    OptionsUi m_ui;
};
