// The main window's file list commands: add, drop, remove, and the placard over an empty list.
#include "app/frmMain.h"

#include "filelist/COMDLG.h"
#include "filelist/FileQueue.h"
#include "filelist/ListFiller.h"
#include "filelist/PathBytes.h"
#include "ui/FolderDialog.h"
#include "ui/MsgBox.h"

#include <QItemSelectionModel>
#include <QLabel>
#include <QTreeView>
#include <QUrl>
#include <algorithm>

namespace {
// Qt's file dialog shows each byte of a name that is not text as U+FFFD and returns the name so.
void appendChosen(FileQueue* list, const QString& chosen)
{
    QString why;
    if (const std::optional<QString> path = PathBytes::FromShown(chosen, &why))
        list->append(*path);
    else
        MsgBox::show(QStringLiteral("%1 cannot be added: %2").arg(chosen, why), MsgBox::Icon::Exclamation);
}
} // namespace

void frmMain::imgAdd_Click()
{
    m_dialogs.setTitle(QStringLiteral("Open Files"));
    if (!m_dialogs.ShowOpen())
        return;
    const QString chosen = m_dialogs.FileName();
    if (!chosen.isEmpty())
        appendChosen(m_ui.lstFile, chosen);
    placardUpdate();
}

void frmMain::picDrag_Click()
{
    QString folder;
    const QString chosen =
        COMDLG::ShowOpenFile(this, QStringLiteral("Open Files"), folder, m_programFolder, QStringLiteral("*.*|*.*"));
    if (chosen.isEmpty())
        return;
    appendChosen(m_ui.lstFile, chosen);
    placardUpdate();
}

void frmMain::AddFolder()
{
    const auto folder = FolderDialog::choose(this, QStringLiteral("Please select a folder:"));
    m_filler->scanFolder(folder ? *folder : QString());
}

void frmMain::imgRemove_Click()
{
    if (m_ui.lstFile->count() >= 1) {
        const QModelIndex current = m_ui.LV->currentIndex();
        if (current.isValid())
            m_ui.lstFile->removeAt(current.row());
    }
    if (m_ui.lstFile->count() < 1)
        m_ui.picText->show();
}

void frmMain::RemoveSelected()
{
    const QItemSelection selection = m_ui.LV->selectionModel()->selection();
    if (selection.isEmpty()) {
        imgRemove_Click();
        return;
    }
    // By ranges, never by selectedRows(): with scattered rows that is quadratic in the selection.
    QList<std::pair<int, int>> ranges;
    ranges.reserve(selection.size());
    for (const QItemSelectionRange& range : selection)
        ranges.append({range.top(), range.bottom()});
    const int first = std::min_element(ranges.cbegin(), ranges.cend())->first;
    m_ui.lstFile->removeRanges(std::move(ranges));
    // The row that took the place of the first removed one is where the keyboard goes on from.
    if (m_ui.lstFile->count() > 0) {
        const QModelIndex next = m_ui.lstFile->index(qMin(first, m_ui.lstFile->count() - 1), 0);
        m_ui.LV->selectionModel()->setCurrentIndex(next, QItemSelectionModel::NoUpdate);
    }
    placardUpdate();
    if (m_ui.lstFile->count() < 1)
        m_ui.picText->show();
}

void frmMain::DropFiles(const QList<QUrl>& urls)
{
    QStringList files;
    for (const QUrl& url : urls) {
        if (url.isLocalFile())
            files.append(PathBytes::FromUrl(url));
    }
    // A dropped folder is searched as Add Folder searches it.
    m_filler->addPaths(files);
}

void frmMain::searchEnded()
{
    const QString summary = m_filler->searchSummary();
    if (summary.isEmpty())
        return;
    m_ui.lblPB->setText(summary);
    m_ui.lblPB->setToolTip(summary);
    // What a folder that could not be opened holds is not in the list: that is said, not left to be noticed.
    const qsizetype unsearched = m_filler->unsearched().size();
    if (unsearched > 0)
        MsgBox::show(unsearched == 1 ? QStringLiteral("1 folder could not be searched, so what it holds is not in the "
                                                      "list. Details names it with the reason.")
                                     : QStringLiteral("%1 folders could not be searched, so what they hold is not in "
                                                      "the list. Details names each with the reason.")
                                           .arg(unsearched),
                     MsgBox::Icon::Warning, {}, m_filler->unsearchedDetails());
}

void frmMain::AddPaths(const QStringList& paths)
{
    m_filler->addPaths(paths);
}

void frmMain::placardUpdate()
{
    // During a scan the placard says so, whatever the list holds.
    if (m_ui.lblText->text() == QLatin1String("Searching Files..."))
        return;
    m_ui.picText->setVisible(m_ui.lstFile->count() < 1);
}
