#pragma once

#include <QColor>

// The skin's colours by role: a deep slate face, teal accents, a light status bar. The painters and the
// style sheets of the plain controls both take their colours from here, so a painted field and the live
// box on top of it are the same colour by construction.
namespace Palette {

// The colour that the window shape cuts away.
constexpr QColor kKey(255, 0, 255);

constexpr QColor kFace(24, 32, 43);     // the windows' body, the message boxes' background
constexpr QColor kFaceHigh(33, 44, 58); // the menu bar
constexpr QColor kPanel(30, 40, 53);    // panels, popup menus, open lists
constexpr QColor kEdge(52, 67, 86);     // outlines of panels, fields and buttons
constexpr QColor kField(17, 23, 31);    // text boxes, selectors, the file list
constexpr QColor kFieldAlternate(21, 29, 39);
constexpr QColor kFieldDisabled(22, 29, 38);
constexpr QColor kHeader(36, 49, 66); // the list's header, tooltips
constexpr QColor kButton(44, 59, 77);
constexpr QColor kButtonHover(58, 78, 100);

constexpr QColor kText(230, 237, 243);
constexpr QColor kListText(220, 228, 236);
constexpr QColor kLabel(176, 192, 208); // captions beside fields, header text
constexpr QColor kMuted(143, 161, 179); // hints
constexpr QColor kDim(95, 115, 136);    // the placard, disabled text, unchecked boxes
constexpr QColor kSelectedText(255, 255, 255);

constexpr QColor kAccent(35, 179, 160);
constexpr QColor kAccentHigh(64, 214, 190);
constexpr QColor kAccentDeep(31, 111, 102); // selected rows, pressed buttons, the feedback link

constexpr QColor kStatus(208, 217, 227); // the status bar

// A row of the list being converted: its own ground, the share done as a bar, bright text and the
// percentage in the accent.
constexpr QColor kRowConverting(20, 44, 48);
constexpr QColor kRowDone(31, 111, 102, 170);
constexpr QColor kRowConvertingText(240, 246, 250);

// What lies over a painted button that cannot be used now: the face, seen through.
constexpr QColor kDimVeil(24, 32, 43, 165);

// The version in the title bar and the product name in the status bar, as style sheets give them.
constexpr QColor kVersion(199, 227, 214);
constexpr QColor kStatusText(0, 0, 0);

} // namespace Palette
