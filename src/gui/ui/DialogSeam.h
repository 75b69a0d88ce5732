#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// The common dialogs of the platform, behind one seam: a test installs an answerer and sees each
// request instead of a modal dialog opening. Nothing returned means the user cancelled.
namespace DialogSeam {

struct FileRequest
{
    QString title;
    QString folder;      // where the dialog opens
    QString fileName;    // pre-filled in the name box
    QStringList filters; // Qt filter texts, "Description (pattern ...)"
    QString defaultSuffix;
    bool save = false;
};

using FileAnswerer = std::function<std::optional<QString>(const FileRequest&)>;
using ColorAnswerer = std::function<std::optional<QColor>(const QColor& initial, bool fullOpen)>;
using FontAnswerer = std::function<std::optional<QFont>(const QFont& initial)>;
using PrintAnswerer = std::function<bool(bool properties)>;

std::optional<QString> file(QWidget* owner, const FileRequest& request);
std::optional<QColor> color(QWidget* owner, const QColor& initial, bool fullOpen);
std::optional<QFont> font(QWidget* owner, const QFont& initial);
bool print(QWidget* owner);
bool printerProperties(QWidget* owner);

void setFileAnswerer(FileAnswerer answerer);
void setColorAnswerer(ColorAnswerer answerer);
void setFontAnswerer(FontAnswerer answerer);
void setPrintAnswerer(PrintAnswerer answerer);

} // namespace DialogSeam
