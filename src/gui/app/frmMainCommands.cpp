// The main window's commands that are not about the list: one place runs them all, whatever reached them
// (a painted button, a popup menu's command word, a key).
#include "app/frmMain.h"

#include "Product.h"
#include "app/frmMenu.h"
#include "feedback/frmSuggest.h"
#include "filelist/ListFiller.h"
#include "settings/frmOptions.h"
#include "ui/FolderDialog.h"
#include "ui/ModalGuard.h"
#include "ui/MsgBox.h"

#include <QCursor>
#include <QDesktopServices>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QUrl>
#include <cstring>

namespace {

void openHelp(const QString& programFolder)
{
    // A missing help file shows nothing, as the shell would.
    if (QFile::exists(programFolder + QStringLiteral("/help.chm")))
        QDesktopServices::openUrl(QUrl::fromLocalFile(programFolder + QStringLiteral("/help.chm")));
}

void showAbout()
{
    MsgBox::show(QStringLiteral("%1, 2026\r\nAll rights reserved.\r\n%2")
                     .arg(QString::fromLatin1(Product::kMaker), QString::fromLatin1(Product::kHomePage)),
                 MsgBox::Icon::None);
}

} // namespace

void frmMain::run(MainCommands::Command command)
{
    using C = MainCommands;
    switch (command) {
    case C::AddFiles:
        return imgAdd_Click();
    case C::AddFolder:
        return AddFolder();
    case C::Remove:
    case C::FileMenu:
    case C::OptionsMenu:
    case C::AboutMenu:
        return popup(command);
    case C::RemoveSelected:
        return RemoveSelected();
    case C::RemoveCurrent:
        return imgRemove_Click();
    case C::RemoveAll:
        return m_filler->removeAll();
    case C::Options:
        showModal("options");
        return updateCommands();
    case C::Feedback:
        return showModal("feedback");
    case C::Help:
        openHelp(m_programFolder);
        return m_ui.imgHelp->clearLook();
    case C::Exit:
        return imgExit_Click();
    case C::Convert:
        return imgStart_Click();
    case C::Stop:
        return m_filler->isScanning() ? m_filler->stopScan() : m_batch->Stop();
    case C::Pause:
        if (!m_batch->isPaused())
            m_batch->Pause();
        else
            m_batch->Resume();
        return updateCommands();
    case C::About:
        return showAbout();
    case C::HomePage:
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(Product::kHomePage)));
        return;
    case C::Browse: {
        const auto folder = FolderDialog::choose(this, QStringLiteral("Please select a folder:"));
        return m_ui.txtPath->setText(folder && !folder->isEmpty() ? *folder : m_places.defaultOutputFolder);
    }
    case C::Minimize:
        showMinimized();
        return m_ui.imgMin->clearLook();
    case C::DropZone:
        return picDrag_Click();
    case C::Count:
        return;
    }
}

void frmMain::txtAction_Change()
{
    // The popup menus' channel: a word names a command, which runs as its key or button would run it.
    const QString word = m_ui.txtAction->text();
    if (word.isEmpty())
        return;
    if (const auto command = MainCommands::FromWord(word))
        m_commands->action(*command)->trigger();
    m_ui.txtAction->clear();
}

void frmMain::popup(MainCommands::Command command)
{
    QMenu* menu = popupMenus()->menuRemove;
    QPoint at = QCursor::pos();
    if (command == MainCommands::Remove) {
        // From the keyboard the menu opens under the button, not wherever the pointer happens to be.
        const QRect button = m_ui.imgToolbar[1]->geometry();
        if (m_ui.imgToolbar[1]->hasFocus())
            at = mapToGlobal(QPoint(button.left(), button.bottom() + 1));
    } else {
        const int index = command - MainCommands::FileMenu;
        QMenu* const menus[] = {popupMenus()->menuFile, popupMenus()->menuOptions, popupMenus()->menuAbout};
        menu = menus[index];
        // Directly under the painted entry, left-aligned with it.
        const QRect entry = m_ui.imgMenu[index]->geometry();
        at = mapToGlobal(QPoint(entry.left(), entry.top() + entry.height()));
    }
    if (m_seams.showPopup)
        m_seams.showPopup(menu, at);
    else if (!ModalGuard::blocked("menu"))
        menu->exec(at);
}

frmMenu* frmMain::popupMenus()
{
    if (!m_menu)
        m_menu = new frmMenu(m_ui.txtAction, m_commands);
    return m_menu;
}

void frmMain::showModal(const char* which)
{
    if (m_seams.showModal)
        m_seams.showModal(which);
    else if (std::strcmp(which, "options") == 0)
        frmOptions::ShowModal(m_options, m_places.settingsFolder);
    else
        frmSuggest::ShowModal();
}
