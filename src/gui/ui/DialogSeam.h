#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// The platform's open-file dialog, behind a seam: a test installs an answerer and sees each
// request instead of a modal dialog opening. Nothing returned means the user cancelled.
namespace DialogSeam {

struct FileRequest
{
    QString title;
    QString folder;      // where the dialog opens
    QString fileName;    // pre-filled in the name box
    QStringList filters; // Qt filter texts, "Description (pattern ...)"
    QString defaultSuffix;
};

using FileAnswerer = std::function<std::optional<QString>(const FileRequest&)>;

std::optional<QString> file(QWidget* owner, const FileRequest& request);

void setFileAnswerer(FileAnswerer answerer);

} // namespace DialogSeam
