#pragma once

#include <QByteArray>

// Whether the tool at a path is our own conversion tool and can convert a batch's files one after
// another in one process (ToolJobs.h). It is run once with no arguments and a token in a variable only
// our tool reads; anything but the hello line with that token (FFmpeg's usage, a user's own tool, no
// answer in time) means one process per file.
namespace ToolHandshake {

// How long a tool may take to answer before it is taken for one that never will.
inline constexpr int kAnswerWithinMs = 1000;

bool Answers(const QByteArray& toolPath);

} // namespace ToolHandshake
