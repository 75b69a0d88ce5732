#pragma once

#include "ToolArgs.h"

#include <cstdio>
#include <string>

// One conversion by FFmpeg's libraries, in this process: decode, cut, resample, encode, write to a
// part file and rename it over the output once complete. Writes FFmpeg's console lines ("Duration: "
// once, then "size= ... time= ..." as it goes) to console; on failure the last line is the reason.
namespace Transcoder {

// The exit status: 0 only when the output is complete.
int Run(const ToolArgs::Parsed& args, std::FILE* console);

} // namespace Transcoder
