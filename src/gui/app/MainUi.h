#pragma once

#include "ui/GripLabel.h"
#include "ui/HotArea.h"
#include "ui/LinkLabel.h"
#include "ui/ProgressCaption.h"

#include <QPixmap>

class DropTarget;
class FileQueue;
class QComboBox;
class QLabel;
class QLineEdit;
class QTreeView;
class QWidget;

// The main window's controls, each at its place on the skin with its items, defaults, tooltips and
// looks. setup() builds them on the window; the window connects them to what they do. Controls keep the
// names the rest of the program and the tests know them by.
struct MainUi
{
    void setup(QWidget* window);

    // A selector the chosen format ignores is greyed out and its tooltip says what the format does
    // instead; its choice stays, is saved, and counts again for a format that uses it.
    void showFormatUse(int format);
    // Beside each original the output folder box is not used, and says so.
    void showOutputFolderUsed(bool used);
    // While a list converts its setup is fixed: the selectors and the folder box are locked (the focus
    // of a locked control goes to the list).
    void lockSettings(bool locked);
    // While it stops, the start button wears the Stop button's looks, caption and tooltip.
    void showStartButtonStops(bool stops);

    // The hidden command box the popup menus write their command words into.
    QLineEdit* txtAction = nullptr;

    // The queue and its view, with the placard over it while the list is empty.
    FileQueue* lstFile = nullptr;
    QTreeView* LV = nullptr;
    QLabel* picText = nullptr;
    QLabel* lblText = nullptr;
    // Drops on the list and on the drop zone.
    DropTarget* drops = nullptr;

    // Output settings.
    QComboBox* cmbOF = nullptr;
    QComboBox* cmbBR = nullptr;
    QComboBox* cmbR = nullptr;
    QComboBox* cmbChannel = nullptr;
    QLineEdit* txtPath = nullptr;

    // Buttons painted in the skin; imgToolbar is indexed 0 to 6, 5 unused. imgAdd, imgRemove, imgStart
    // and picDrag lie below the visible face: reachable by the program, not by the pointer.
    HotArea* imgConvert = nullptr;
    HotArea* imgStart = nullptr;
    HotArea* imgAdd = nullptr;
    HotArea* imgRemove = nullptr;
    HotArea* imgBrowse = nullptr;
    HotArea* imgToolbar[7] = {};
    HotArea* imgMenu[3] = {};
    HotArea* imgHelp = nullptr;
    HotArea* imgMin = nullptr;
    HotArea* imgExit = nullptr;
    HotArea* picButtonOF = nullptr;
    HotArea* picButtonBR = nullptr;
    HotArea* picButtonR = nullptr;
    HotArea* picButtonChannel = nullptr;
    HotArea* picDrag = nullptr;

    // Status line and title bar.
    LinkLabel* lblFeed = nullptr;
    LinkLabel* lblWeb = nullptr;
    GripLabel* lblVersion = nullptr;
    QLabel* imgPB = nullptr;
    ProgressCaption* lblPB = nullptr;

private:
    void applyEnabling();
    void setupTitleAndMenus(QWidget* w);
    void setupToolbar(QWidget* w);
    void setupList(QWidget* w);
    void setupSettings(QWidget* w);
    void setupStatus(QWidget* w);
    void setupDrops(QWidget* w);
    void applyStyle(QWidget* w);
    // Tab and Shift+Tab walk the visible controls in reading order.
    void setupTabOrder();

    int m_format = 0;
    bool m_folderUsed = true;
    bool m_locked = false;
    QPixmap m_stopLooks[3]; // resting, lit, pressed
    QPixmap m_convertLit;
};
