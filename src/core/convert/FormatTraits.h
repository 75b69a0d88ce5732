#pragma once

#include <QString>
#include <QStringList>

// What each output format, by its position in the format selector, does with the bitrate, rate and
// channel selectors, as its command line template says; and, for a selector it ignores, the words that
// tell the user what the format does instead. The window greys out what a format ignores.
namespace FormatTraits {

enum class Selector { Bitrate, Rate, Channels };

// The formats in selector order: MP3, WMA, OGG, WAV, FLAC, AC3, AAC, AMR, OPUS, M4A. A settings file
// from a newer build may name a position past the end; it is not a format.
QStringList Names();
int Count();

// True when the format's command line takes the selector's value; true outside the list, where
// nothing is known to be ignored.
bool Uses(int formatIndex, Selector selector);

// What the format does instead of taking the selector's value ("FLAC is lossless: it keeps the input's
// rate and channels"); empty when it takes it.
QString IgnoredTip(int formatIndex, Selector selector);

} // namespace FormatTraits
