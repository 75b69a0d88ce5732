#pragma once

#include "app/MainCommands.h"
#include "app/MainUi.h"
#include "convert/BatchDriver.h"
#include "filelist/CCommonDialogs.h"
#include "settings/ConversionSetup.h"
#include "ui/SkinnedWindow.h"

#include <QStringList>
#include <functional>

class ListFiller;
class frmMenu;
class QMenu;

// The main window: the file list, the output settings and the batch conversion, on a painted skin whose
// buttons light up under the pointer. Every command is an action of MainCommands, run in one place (run);
// the handlers keep the names the rest of the program knows them by.
class frmMain : public SkinnedWindow
{
    Q_OBJECT
public:
    explicit frmMain(const QString& programFolder, QWidget* parent = nullptr);
    ~frmMain() override;

    // What the start and the tests stand in for: the process's end, scratch files, popups, modal windows.
    struct Seams
    {
        std::function<void()> endProcess;
        QStringList scratchFiles = {QStringLiteral("/tmp/tmpfile.wav"), QStringLiteral("/tmp/tmpfile1.mp3")};
        std::function<void(QMenu* menu, const QPoint& screenPos)> showPopup;
        std::function<void(const char* which)> showModal; // "feedback", "options"
    };
    Seams& seams() { return m_seams; }
    // Paths from the command line or a second start: files join as dropped, folders are searched.
    void AddPaths(const QStringList& paths);
    void BringToFront(); // as a second start asks
    MainUi& ui() { return m_ui; }
    const MainUi& ui() const { return m_ui; }
    OptionSettings& options() { return m_options; }
    frmMenu* popupMenus();
    MainCommands* commands() const { return m_commands; }
    BatchDriver* batch() const { return m_batch; }
    const BatchOutcome& lastBatch() const { return m_batch->outcome(); }
    bool isConverting() const { return m_batch->isConverting(); }
    bool isListBusy() const; // a folder search or Remove All runs: the list's commands wait
    bool isScanning() const;
    const ProgramPlace::Places& places() const { return m_places; }
signals:
    void batchFinished(); // a batch has run its end steps

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load(); // frmMain.cpp: the window, its settings, the batch, the ways out
    void connectControls();
    void showSetup(const ConversionSetup& setup);
    ConversionSetup shownSetup() const;
    void updateCommands();
    void imgStart_Click();
    void batchEnded(BatchDriver::End how, const QString& outputFolder);
    void showProgressInTitle(const QString& caption);
    void imgExit_Click();
    void Form_Unload();
    void run(MainCommands::Command command); // frmMainCommands.cpp: every command, in one place
    void txtAction_Change();
    void popup(MainCommands::Command menu);
    void showModal(const char* which);
    void imgAdd_Click(); // frmMainList.cpp: the list's commands, drops and the placard
    void picDrag_Click();
    void AddFolder();
    void imgRemove_Click();
    void RemoveSelected();
    void DropFiles(const QList<QUrl>& urls);
    void searchEnded();
    void placardUpdate();

    QString m_programFolder;
    ProgramPlace::Places m_places;
    OptionSettings m_options;
    Seams m_seams;
    ListFiller* m_filler = nullptr;
    CCommonDialogs m_dialogs;
    frmMenu* m_menu = nullptr;
    BatchDriver* m_batch = nullptr;
    MainCommands* m_commands = nullptr;
    MainUi m_ui;
};
