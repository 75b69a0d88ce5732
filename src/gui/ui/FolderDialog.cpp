#include "FolderDialog.h"

#include "ui/ModalGuard.h"

#include <QFileDialog>

namespace FolderDialog {

namespace {
Answerer& current()
{
    static Answerer a;
    return a;
}
} // namespace

std::optional<QString> choose(QWidget* owner, const QString& title)
{
    if (const Answerer a = current())
        return a(title);
    if (ModalGuard::blocked("folder dialog"))
        return std::nullopt;
    const QString folder = QFileDialog::getExistingDirectory(owner, title, QString(), QFileDialog::ShowDirsOnly);
    if (folder.isEmpty())
        return std::nullopt;
    return folder;
}

void setAnswerer(Answerer answerer)
{
    current() = std::move(answerer);
}

} // namespace FolderDialog
