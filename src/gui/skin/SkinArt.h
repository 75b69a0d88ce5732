#pragma once

#include "skin/Palette.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QPixmap>

// Every picture the skinned windows wear, painted from code at start-up and then held in memory:
// nothing is read from disk while the program runs, and the pictures are the same on every machine
// that has the DejaVu fonts. Each picture of a control is the size of its place in SkinLayout.h.
namespace SkinArt {

enum class Look { Normal, Light, Dark };

// The colour that the window shape cuts away.
inline constexpr QColor kKey = Palette::kKey;

QPixmap MainSkin();     // 700 x 500
QPixmap OptionsSkin();  // 330 x 206
QPixmap FeedbackSkin(); // 330 x 180

// Hover and pressed pictures, each the size of the hot area it lights.
QPixmap ToolbarButton(int index, Look look);             // 86 x 53; index 0 to 4 and 6
QPixmap MenuEntry(int index, Look look);                 // "File", "Options", "About"
QPixmap ConvertButton(Look look);                        // 187 x 91
QPixmap StopButton(Look look);                           // 187 x 91: the start button while a list converts
QPixmap BrowseButton(Look look);                         // 42 x 22
QPixmap HelpButton(Look look);                           // 15 x 15
QPixmap MinButton(Look look);                            // 14 x 14
QPixmap CloseButton(Look look);                          // 15 x 15
QPixmap DropButton(Look look);                           // 19 x 19
QPixmap DialogButton(const QString& caption, Look look); // 58 x 18: OK, Back, Send
enum class MessageKind { Critical, Warning, Information };
QPixmap MessageIcon(MessageKind kind); // 40 x 40, on the message boxes' face
QPixmap ProgressStrip();               // 1 x 15, stretched over the bar
QPixmap HandCursor();                  // 32 x 32, hot spot (6, 0)

// The program's icon, drawn from the skin's colours and its title bar's wave mark: a picture of any
// size, and the same as SVG for the desktop's scalable icon.
QImage AppIcon(int size);
QByteArray AppIconSvg();

QString FontFamily();

} // namespace SkinArt
