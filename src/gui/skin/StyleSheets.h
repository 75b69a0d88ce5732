#pragma once

#include <QString>

// The style sheets of the plain controls that sit on the skin, one per window, built from the palette.
namespace StyleSheets {

QString MainWindow(); // selectors, the folder box, the file list, its header and scroll bars, tooltips
QString Options();    // selectors, the cut's time boxes, the check box
QString Feedback();   // the three text boxes and the status line
QString MessageBox(); // the message boxes' face and buttons
QString PopupMenu();  // the menus the menu bar and the Remove button open

} // namespace StyleSheets
