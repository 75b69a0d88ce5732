#pragma once

#include "convert/BatchDriver.h"
#include "filelist/CCommonDialogs.h"
#include "settings/ConversionSetup.h"
#include "settings/OptionSettings.h"
#include "settings/ProgramPlace.h"

#include "app/KeyCommands.h"
#include "app/MainUi.h"

#include "ui/SkinnedWindow.h"

#include <QPixmap>
#include <QString>
#include <QStringList>
#include <QUrl>
#include <functional>

class ListFiller;
class frmMenu;
class QMenu;

// The main window: the file list, the output settings and the batch conversion, on a painted skin
// whose buttons light up under the pointer. Controls keep the names the rest of the program and the
// tests know them by.
class frmMain : public SkinnedWindow
{
    Q_OBJECT
public:
    explicit frmMain(const QString& programFolder, QWidget* parent = nullptr);
    ~frmMain() override;

    QString programFolder() const { return m_programFolder; }
    // Where setup.ini and options.ini live and where output goes by default.
    const ProgramPlace::Places& places() const { return m_places; }
    QString defaultOutputFolder() const;
    OptionSettings& options() { return m_options; }

    // The exit command: saves setup.ini, then closes the window, which ends the program.
    void imgExit_Click();
    void SaveSetup();
    // Every way out passes here: the scratch files go, then the process ends.
    void Form_Unload();
    void setProcessEnder(std::function<void()> ender) { m_endProcess = std::move(ender); }
    void setScratchFiles(const QStringList& files) { m_scratchFiles = files; }
    void imgOptions_Click();

    // Commands from the painted menu bar and toolbar, and the command channel of the popup menus.
    void imgMenu_Click(int index);
    void imgToolbar_Click(int index);
    void txtAction_Change();
    void About();
    void imgHelp_Click();
    void lblWeb_Click();
    void lblFeed_Click();
    frmMenu* popupMenus();
    // How a popup menu is shown (modal, at a screen position); tests look instead of opening it.
    using PopupShower = std::function<void(QMenu* menu, const QPoint& screenPos)>;
    void setPopupShower(PopupShower shower) { m_showPopup = std::move(shower); }
    // How a feedback or options window is shown modally; tests look instead of opening it.
    using ModalShower = std::function<void(const char* which)>;
    void setModalShower(ModalShower shower) { m_showModal = std::move(shower); }

    static constexpr const char* kHomePage = "https://www.veltrasoft.example/";

    // The start button: starts the list; while a list converts or a folder scan runs it is the Stop
    // button. imgStart only ever starts.
    void imgConvert_Click();
    void imgStart_Click();

    BatchDriver* batch() const { return m_batch; }
    bool isConverting() const { return m_batch->isConverting(); }
    // A folder scan or Remove All is running: commands that change the list wait, and look it.
    bool isListBusy() const;
    bool isScanning() const;

    // Shows the placard exactly while the list is empty (during a scan it says so instead).
    void placardUpdate();

    // The file list commands.
    void imgAdd_Click();
    void picDrag_Click();
    void AddFolder();
    void imgRemove_Click();
    void RemoveAll();
    void DropFiles(const QList<QUrl>& urls);
    // Files and folders named on the command line or handed over by a second start: files join like a
    // drop, folders are searched as Add Folder searches them. While a scan or Remove All runs they wait.
    void AddPaths(const QStringList& paths);
    // Shows the window over the others, as a second start asks.
    void BringToFront();
    CCommonDialogs& commonDialogs() { return m_dialogs; }
    const BatchOutcome& lastBatch() const { return m_batch->outcome(); }

    // A pointer move over the bare background: every painted button back to rest.
    void Form_MouseMove();
    void imgBrowse_Click();
    // The output format was chosen: the selectors it ignores look it.
    void cmbOF_Change();
    void imgMin_Click();

    // Remove Selected: every selected row of the list, or the current one when none is selected.
    void RemoveSelected();
    KeyCommands* keys() const { return m_keys; }

    // The controls, for the program's tools and tests.
    MainUi& ui() { return m_ui; }
    const MainUi& ui() const { return m_ui; }

signals:
    // Raised when a batch has run its end steps.
    void batchFinished();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    // The list filler and the batch driver, wired to the window.
    void createFillerAndBatch();
    // The selectors, the folder box and the Options values: shown, and read back from the controls.
    void showSetup(const ConversionSetup& setup);
    ConversionSetup shownSetup() const;
    void connectControls();
    // Enables each command as the batch and the list allow, and gives the start button its look.
    void updateCommands();
    // Beside each original the output folder box is not used, and says so.
    void showOutputMode();
    void batchEnded(BatchDriver::End how, const QString& outputFolder);
    // A folder search has ended: what it left out is said in the status line.
    void searchEnded();
    // What a batch started now converts with: the setup shown, as the tool takes it.
    CommandBuilder::Request conversionSettings() const;
    // The output folder the tool writes to and the desktop opens: the box's text made absolute.
    QString outputFolder() const;
    void runKey(KeyCommands::Command command);
    // The window title says how far a converting list has come; the task bar shows it too.
    void showProgressInTitle(const QString& caption);

    QString m_programFolder;
    ProgramPlace::Places m_places;
    OptionSettings m_options;
    ListFiller* m_filler = nullptr;
    CCommonDialogs m_dialogs;
    std::function<void()> m_endProcess;
    PopupShower m_showPopup;
    ModalShower m_showModal;
    frmMenu* m_menu = nullptr;
    QStringList m_scratchFiles = {QStringLiteral("/tmp/tmpfile.wav"), QStringLiteral("/tmp/tmpfile1.mp3")};
    BatchDriver* m_batch = nullptr;
    KeyCommands* m_keys = nullptr;
    QPixmap m_stopLooks[3]; // normal, lit, pressed
    QPixmap m_convertLit;
    MainUi m_ui;
};
