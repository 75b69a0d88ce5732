#pragma once

#include "ui/MsgBox.h"

// Shows message boxes as real QMessageBox dialogs; installed by the program at start-up.
namespace QtMsgBox {
void install();
void present(const MsgBox::Shown& shown);
} // namespace QtMsgBox
