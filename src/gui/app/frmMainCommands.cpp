// The main window's commands from the menu bar, the toolbar, the popup menus' command words and the keys.
#include "app/frmMain.h"

#include "app/frmMenu.h"
#include "convert/CommandBuilder.h"
#include "convert/DOSOutputs.h"
#include "convert/FormatTraits.h"
#include "convert/ProgressParser.h"
#include "feedback/frmSuggest.h"
#include "filelist/COMDLG.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"
#include "filelist/PathBytes.h"
#include "settings/OptionsIni.h"
#include "settings/SetupIni.h"
#include "settings/frmOptions.h"
#include "skin/SkinArt.h"
#include "ui/Announcer.h"
#include "ui/DropTarget.h"
#include "ui/FolderDialog.h"
#include "ui/GripLabel.h"
#include "ui/HotArea.h"
#include "ui/LinkLabel.h"
#include "ui/ModalGuard.h"
#include "ui/MsgBox.h"
#include "ui/Sound.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

void frmMain::imgMenu_Click(int index)
{
    QMenu* menus[] = {popupMenus()->menuFile, popupMenus()->menuOptions, popupMenus()->menuAbout};
    if (index < 0 || index > 2)
        return;
    // Directly under the painted entry, left-aligned with it.
    const QRect r = m_ui.imgMenu[index]->geometry();
    const QPoint at = mapToGlobal(QPoint(r.left(), r.top() + r.height()));
    if (m_showPopup)
        m_showPopup(menus[index], at);
    else if (!ModalGuard::blocked("menu"))
        menus[index]->exec(at);
}

void frmMain::imgToolbar_Click(int index)
{
    switch (index) {
    case 0:
        imgAdd_Click();
        break;
    case 1: {
        QMenu* remove = popupMenus()->menuRemove;
        // From the keyboard the menu opens under the button, not wherever the pointer happens to be.
        const QRect button = m_ui.imgToolbar[1]->geometry();
        const QPoint at =
            m_ui.imgToolbar[1]->hasFocus() ? mapToGlobal(QPoint(button.left(), button.bottom() + 1)) : QCursor::pos();
        if (m_showPopup)
            m_showPopup(remove, at);
        else if (!ModalGuard::blocked("menu"))
            remove->exec(at);
        break;
    }
    case 2:
        imgOptions_Click();
        break;
    case 3:
        imgHelp_Click();
        break;
    case 4:
        imgExit_Click();
        break;
    case 6:
        AddFolder();
        break;
    default:
        break;
    }
}

void frmMain::txtAction_Change()
{
    // Every word is tested in this order, each against the box as it is after the commands before.
    if (m_ui.txtAction->text() == QLatin1String("RemoveSelected"))
        RemoveSelected();
    if (m_ui.txtAction->text() == QLatin1String("A"))
        About();
    if (m_ui.txtAction->text() == QLatin1String("AddaFile"))
        imgAdd_Click();
    if (m_ui.txtAction->text() == QLatin1String("menuAddaFolder"))
        imgToolbar_Click(6);
    if (m_ui.txtAction->text() == QLatin1String("menuExit"))
        imgExit_Click();
    if (m_ui.txtAction->text() == QLatin1String("menuHelp"))
        imgHelp_Click();
    if (m_ui.txtAction->text() == QLatin1String("menuOption"))
        imgToolbar_Click(2);
    m_ui.txtAction->setText(QString());
}

void frmMain::runKey(KeyCommands::Command command)
{
    switch (command) {
    case KeyCommands::AddFiles:
        imgToolbar_Click(0);
        break;
    case KeyCommands::AddFolder:
        imgToolbar_Click(6);
        break;
    case KeyCommands::RemoveSelected:
        RemoveSelected();
        break;
    case KeyCommands::RemoveAll:
        RemoveAll();
        break;
    case KeyCommands::Options:
        imgToolbar_Click(2);
        break;
    case KeyCommands::Help:
        imgHelp_Click();
        break;
    case KeyCommands::Exit:
        imgExit_Click();
        break;
    case KeyCommands::Convert:
        if (!isConverting() && !m_filler->isScanning())
            imgConvert_Click();
        break;
    case KeyCommands::Stop:
        if (isConverting() || m_filler->isScanning())
            imgConvert_Click();
        break;
    case KeyCommands::FileMenu:
    case KeyCommands::OptionsMenu:
    case KeyCommands::AboutMenu:
        imgMenu_Click(command - KeyCommands::FileMenu);
        break;
    case KeyCommands::CommandCount:
        break;
    }
}

void frmMain::About()
{
    MsgBox::show(QStringLiteral("Veltra Software, 2026\r\n"
                                "All rights reserved.\r\n"
                                "https://www.veltrasoft.example/"),
                 MsgBox::Icon::None);
}

void frmMain::imgHelp_Click()
{
    // A missing help file shows nothing, as the shell would.
    const QString help = m_programFolder + QStringLiteral("/help.chm");
    if (QFile::exists(help))
        QDesktopServices::openUrl(QUrl::fromLocalFile(help));
    m_ui.imgHelp->clearLook();
}

void frmMain::lblWeb_Click()
{
    QDesktopServices::openUrl(QUrl(QString::fromLatin1(kHomePage)));
}

void frmMain::lblFeed_Click()
{
    if (m_showModal)
        m_showModal("feedback");
    else
        frmSuggest::ShowModal();
}

void frmMain::imgOptions_Click()
{
    if (m_showModal)
        m_showModal("options");
    else
        frmOptions::ShowModal(m_options, m_places.settingsFolder);
    showOutputMode();
}

frmMenu* frmMain::popupMenus()
{
    if (!m_menu) {
        m_menu = new frmMenu(m_ui.txtAction, [this] { RemoveAll(); });
        updateCommands();
    }
    return m_menu;
}
