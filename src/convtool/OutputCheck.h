#pragma once

#include <cstdint>
#include <string>
#include <vector>

// What the tool wrote, read back before the part file takes the output's name, so a file that a
// player would find short, holed or unreadable fails with a reason instead of being reported done.
// Each throws LibAv::Failure naming what is wrong.
namespace OutputCheck {

// The file is as long as its writer says it wrote and has no hole (a stretch it never wrote). Returns
// its length.
int64_t Length(const std::string& path, int64_t written);

// The file's last bytes, read back from the file system, are those written there: a FUSE driver that
// put a write in the wrong place shows there.
void End(const std::string& path, int64_t at, const std::vector<uint8_t>& bytes);

// What an M4A file's audio must be.
struct Mp4Audio
{
    int64_t frames = 0;  // as handed to the muxer
    int64_t samples = 0; // as handed to the encoder
    int rate = 0;
    int frameSize = 0; // samples a frame
};

// The file's atoms cover it end to end with the index ahead of the audio, it opens as a player opens
// it, its index lists every frame inside the audio's atom, the last frame can be read, and its length
// is that of the audio encoded.
void Mp4(const std::string& path, const Mp4Audio& expected);

} // namespace OutputCheck
