#include "DialogSeam.h"

#include "ui/ModalGuard.h"

#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFontDialog>
#include <QPageSetupDialog>
#include <QPrintDialog>
#include <QPrinter>

namespace DialogSeam {

namespace {
struct Answerers
{
    FileAnswerer file;
    ColorAnswerer color;
    FontAnswerer font;
    PrintAnswerer print;
};

Answerers& answerers()
{
    static Answerers a;
    return a;
}
} // namespace

std::optional<QString> file(QWidget* owner, const FileRequest& request)
{
    if (const FileAnswerer a = answerers().file)
        return a(request);
    if (ModalGuard::blocked("file dialog"))
        return std::nullopt;
    QFileDialog dialog(owner, request.title);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
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

std::optional<QColor> color(QWidget* owner, const QColor& initial, bool fullOpen)
{
    if (const ColorAnswerer a = answerers().color)
        return a(initial, fullOpen);
    if (ModalGuard::blocked("colour dialog"))
        return std::nullopt;
    const QColor chosen = QColorDialog::getColor(initial, owner);
    if (!chosen.isValid())
        return std::nullopt;
    return chosen;
}

std::optional<QFont> font(QWidget* owner, const QFont& initial)
{
    if (const FontAnswerer a = answerers().font)
        return a(initial);
    if (ModalGuard::blocked("font dialog"))
        return std::nullopt;
    bool ok = false;
    const QFont chosen = QFontDialog::getFont(&ok, initial, owner);
    if (!ok)
        return std::nullopt;
    return chosen;
}

bool print(QWidget* owner)
{
    if (const PrintAnswerer a = answerers().print)
        return a(false);
    if (ModalGuard::blocked("print dialog"))
        return false;
    QPrinter printer;
    QPrintDialog dialog(&printer, owner);
    dialog.setOption(QAbstractPrintDialog::PrintSelection, false);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, false);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, false);
    return dialog.exec() == QDialog::Accepted;
}

bool printerProperties(QWidget* owner)
{
    if (const PrintAnswerer a = answerers().print)
        return a(true);
    if (ModalGuard::blocked("printer properties"))
        return false;
    QPrinter printer;
    if (!printer.isValid())
        return false;
    QPageSetupDialog dialog(&printer, owner);
    return dialog.exec() == QDialog::Accepted;
}

void setFileAnswerer(FileAnswerer answerer)
{
    answerers().file = std::move(answerer);
}

void setColorAnswerer(ColorAnswerer answerer)
{
    answerers().color = std::move(answerer);
}

void setFontAnswerer(FontAnswerer answerer)
{
    answerers().font = std::move(answerer);
}

void setPrintAnswerer(PrintAnswerer answerer)
{
    answerers().print = std::move(answerer);
}

} // namespace DialogSeam
