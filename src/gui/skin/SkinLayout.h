#pragma once

#include <QRect>
#include <QSize>

// Where every control sits on the skinned windows, in design pixels (96 dpi; the geometry pass scales
// them). The painters draw each control's face here and the window builders put the live widget on top
// of it, so a rectangle is written once and the two cannot drift apart. It needs Qt Core only: a build
// tool prints it for scripts that click the running program.
namespace SkinLayout {

namespace Main {
constexpr QSize kSize{700, 500};

// The title bar's buttons.
constexpr QRect kHelp{635, 8, 15, 15};
constexpr QRect kMin{652, 9, 14, 14};
constexpr QRect kClose{672, 10, 15, 15};
constexpr QRect kVersion{176, 10, 80, 14};

// The menu bar's entries: File, Options, About.
constexpr QRect kMenu[3] = {{18, 31, 40, 15}, {60, 31, 59, 15}, {122, 31, 51, 15}};

// The toolbar, left to right; kToolbarIndex is the command index each button carries (Add Folder came
// later than the others and took the next free one).
constexpr int kToolbarCount = 6;
constexpr int kToolbarIndex[kToolbarCount] = {0, 6, 1, 2, 3, 4};
constexpr QRect kToolbar[kToolbarCount] = {{16, 55, 86, 53},  {103, 55, 86, 53}, {190, 55, 86, 53},
                                           {277, 55, 86, 53}, {364, 55, 86, 53}, {451, 55, 86, 53}};

// The file list, its two column widths and the placard over its middle.
constexpr QRect kList{17, 160, 455, 274};
constexpr int kListColumnWidths[2] = {361, 94};
constexpr QRect kPlacard{164, 264, 163, 21};

// The conversion settings, top to bottom: output format, bitrate, rate, channels. Each selector's list
// opens from its own drop button at its right end.
constexpr int kSelectorCount = 4;
constexpr QRect kSelector[kSelectorCount] = {
    {488, 158, 189, 22}, {488, 200, 189, 22}, {488, 244, 189, 22}, {488, 286, 189, 22}};
constexpr QRect kSelectorDrop[kSelectorCount] = {
    {657, 160, 19, 19}, {657, 202, 19, 19}, {657, 246, 19, 19}, {657, 288, 19, 19}};
constexpr QRect kFolder{488, 330, 143, 23};
constexpr QRect kBrowse{635, 331, 42, 22};
constexpr QRect kConvert{489, 371, 187, 91};

// The progress bar grows from zero width inside its frame; its caption sits over the bar's middle and
// takes the whole bar's width, for the longer statuses at the end of a batch or a search.
constexpr QRect kProgressFrame{111, 445, 365, 17};
constexpr QRect kProgressBar{113, 447, 0, 13};
constexpr QRect kProgressCaption{112, 447, 361, 13};

// The status bar's links.
constexpr QRect kWeb{18, 478, 164, 13};
constexpr QRect kFeedback{628, 477, 46, 13};

// Below and beside the visible face: reachable by the program, never by the pointer.
constexpr QRect kAdd{10, 549, 32, 32};
constexpr QRect kRemove{50, 549, 32, 32};
constexpr QRect kStart{90, 549, 32, 32};
constexpr QRect kActionWord{0, 600, 10, 10};
constexpr QRect kDropZone{728, 422, 143, 146};
} // namespace Main

// What the small dialogs share: the width, the close button and the row of two buttons at the bottom
// (the window's own command, then Back).
namespace Dialog {
constexpr int kWidth = 330;
constexpr QRect kClose{300, 11, 15, 15};
constexpr QRect CommandButton(int height)
{
    return {166, height - 44, 58, 18};
}
constexpr QRect BackButton(int height)
{
    return {246, height - 44, 58, 18};
}
} // namespace Dialog

namespace Options {
// The lists, one row each (OptionRows): the first above the music cutter, the others below it, 28
// pixels apart. Each list opens from its own drop button at its right end.
constexpr QRect ListRow(int row)
{
    return {146, row == 0 ? 34 : 132 + 28 * (row - 1), 163, 20};
}
constexpr QRect ListRowDrop(int row)
{
    return {290, ListRow(row).y() + 1, 19, 19};
}
// A row's caption, centred on its list's line; two short lines take a taller box.
constexpr QRect ListRowCaption(int row, bool twoLines)
{
    return {22, ListRow(row).y() + (twoLines ? -5 : 0), 120, twoLines ? 30 : 20};
}

// The text rows below the lists, a box where a list would be: the name pattern.
constexpr int kTextRows = 1;
constexpr QRect TextRow(int lists, int row = 0)
{
    return ListRow(lists + row);
}
constexpr QRect TextRowCaption(int lists, int row = 0)
{
    return ListRowCaption(lists + row, false);
}

// The window grows with its rows (lists and text rows): its buttons sit below the last one.
constexpr QSize Size(int rows)
{
    return {Dialog::kWidth, ListRow(rows - 1).bottom() + 1 + 54};
}
constexpr QRect OK(int rows)
{
    return Dialog::CommandButton(Size(rows).height());
}
constexpr QRect Back(int rows)
{
    return Dialog::BackButton(Size(rows).height());
}
// The Options window's close area has always sat one pixel left of the painted button.
constexpr QRect kClose{299, 11, 15, 15};
constexpr QRect kMusicCutter{146, 64, 13, 13};
// The cut's start and length: hours, minutes, seconds.
constexpr QRect kFrom[3] = {{94, 85, 19, 18}, {160, 85, 31, 18}, {230, 85, 43, 18}};
constexpr QRect kDuration[3] = {{94, 109, 19, 18}, {160, 109, 31, 18}, {230, 109, 43, 18}};
} // namespace Options

namespace Feedback {
constexpr QSize kSize{Dialog::kWidth, 180};
constexpr QRect kClose = Dialog::kClose;
constexpr QRect kName{110, 50, 141, 21};
constexpr QRect kEmail{110, 76, 141, 21};
constexpr QRect kComment{110, 102, 189, 21};
constexpr QRect kStatus{48, 138, 70, 14};
constexpr QRect kSend = Dialog::CommandButton(kSize.height());
constexpr QRect kBack = Dialog::BackButton(kSize.height());
} // namespace Feedback

} // namespace SkinLayout
