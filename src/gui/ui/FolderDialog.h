#pragma once

#include <QString>
#include <functional>
#include <optional>

class QWidget;

// The folder chooser. Tests answer it instead of a person; nothing means the user cancelled.
namespace FolderDialog {
using Answerer = std::function<std::optional<QString>(const QString& title)>;

std::optional<QString> choose(QWidget* owner, const QString& title);
void setAnswerer(Answerer answerer);
} // namespace FolderDialog
