#include "DialogSeam.h"

#include "ui/ModalGuard.h"

#include <QDir>
#include <QFileDialog>

namespace DialogSeam {

namespace {
FileAnswerer& fileAnswerer()
{
    static FileAnswerer a;
    return a;
}
} // namespace

std::optional<QString> file(QWidget* owner, const FileRequest& request)
{
    if (const FileAnswerer a = fileAnswerer())
        return a(request);
    if (ModalGuard::blocked("file dialog"))
        return std::nullopt;
    QFileDialog dialog(owner, request.title);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    if (!request.folder.isEmpty())
        dialog.setDirectory(request.folder);
    if (!request.filters.isEmpty())
        dialog.setNameFilters(request.filters);
    if (!request.defaultSuffix.isEmpty())
        dialog.setDefaultSuffix(request.defaultSuffix);
    if (!request.fileName.isEmpty())
        dialog.selectFile(request.fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return std::nullopt;
    return dialog.selectedFiles().first();
}

void setFileAnswerer(FileAnswerer answerer)
{
    fileAnswerer() = std::move(answerer);
}

} // namespace DialogSeam
