#pragma once

#include "ui/MsgBox.h"

#include <memory>

class QMessageBox;
class QWidget;

// Shows message boxes as real QMessageBox dialogs; installed by the program at start-up.
namespace QtMsgBox {
void install();
void present(const MsgBox::Shown& shown);
// The box present() runs, not yet shown: details go behind its Show Details button, in a scrolling list
// the user can copy from.
std::unique_ptr<QMessageBox> build(const MsgBox::Shown& shown, QWidget* parent);
} // namespace QtMsgBox
