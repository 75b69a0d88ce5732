#pragma once

#include "LibAv.h"

// What an encoder gets when the command line leaves it open, chosen as FFmpeg's own program chooses,
// so a file converted here has the rate, channels and sample format it would have had there.
namespace Negotiate {

// The wanted rate when the encoder takes it (or takes any); else the nearest rate it takes, the first
// listed on a tie (22,050 Hz into AC3 gives 32,000 Hz).
int SampleRate(const AVCodec* encoder, int wanted);

// The wanted layout when the encoder takes it (or takes any); else the listed layout that keeps most
// of its channels: same channels score, stand-ins (side for back, centre for a front pair) score a
// little less, channels the input lacks cost, and on a tie the one with fewer channels, then the first
// listed (7.1 into AC3 gives 5.1(side), anything into MP3 mono or stereo). The caller owns the result.
AVChannelLayout Layout(const AVCodec* encoder, const AVChannelLayout& wanted);

// The decoder's format when the encoder takes it, planar or packed; else the nearest as wide or wider
// (32-bit input prefers 64-bit), else the widest narrower one.
AVSampleFormat SampleFormat(const AVCodec* encoder, AVSampleFormat decoded);

// The bit rate an MPEG audio layer III frame header at the start of data names, in bits per second; 0 when
// data does not start with one. LAME changes a rate the sample rate does not allow (320 kbps at 8000 Hz
// gives 64 kbps) without saying so, and the frames are the only place that tells.
long long Mp3FrameBitRate(const uint8_t* data, int size);

} // namespace Negotiate
