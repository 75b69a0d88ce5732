#pragma once

#include "LibAv.h"

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// The tool's tag probe: an input's tags for naming its output, read from the container's header alone
// (no stream search, no decoder), and handed to the program as record lines (ToolTags.h).
namespace TagProbe {

// Field (ToolTags::kFields) and value, only the fields the input has, in kFields' order.
using Fields = std::vector<std::pair<std::string, std::string>>;

// True for the probe's arguments: ToolTags::kProbeOption, "-i", the input, nothing else.
bool Requested(const std::vector<std::string>& args);

// The naming fields of a file's tags and its audio stream's (Ogg and FLAC keep theirs on the stream),
// the file's winning, by the keys FFmpeg gives them in any case ("album_artist", "ALBUMARTIST", ...):
// track and disc as the number before any "/", the year as the date's first four digits.
Fields FieldsOf(const AVDictionary* file, const AVDictionary* stream);

// Opens the file under AudioInput's rules (a regular file, the "file" protocol and the audio demuxers
// only) and reads its header's tags. Throws LibAv::Failure with the reason.
Fields Read(const std::string& path);

// The record lines of the fields, one ToolTags line each.
std::string Lines(const Fields& fields);

// The probe run: the lines on the record when the program asked for one (ToolRecord.h), else on
// standard output. 0, or 1 with the reason as the console's last line.
int Run(const std::vector<std::string>& args, std::FILE* console);

} // namespace TagProbe
