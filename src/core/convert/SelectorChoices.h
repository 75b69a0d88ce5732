#pragma once

#include <QStringList>

// The values the window's bitrate, rate and channel selectors offer, in their order; a saved setting is
// a position in one of these lists. The formats are FormatTraits::Names().
namespace SelectorChoices {

QStringList Bitrates(); // kilobits per second
QStringList Rates();    // hertz
QStringList Channels(); // "Mono", "Stereo"

// The positions selected when nothing was saved.
constexpr int kDefaultBitrate = 8;
constexpr int kDefaultRate = 1;
constexpr int kDefaultChannels = 1;
constexpr int kDefaultFormat = 1;

} // namespace SelectorChoices
