#include "Mp4Index.h"

#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace Mp4Index {

namespace {
// The atoms an audio-only index always has: about 800 bytes measured. What is kept and not used stays
// in the file as a free atom, which a short file's bit rate shows.
constexpr int64_t kFixedBytes = 1024;
constexpr int64_t kBytesPerFrame = 8;
constexpr int64_t kMarginBytes = 1024;
// A freeform atom: its own header, "mean" with "com.apple.iTunes", "name" and "data" headers.
constexpr int64_t kBytesPerTag = 96;
// "covr" and its "data" atom.
constexpr int64_t kCoverAtomBytes = 32;
constexpr int64_t kFreeAtomBytes = 8;

uint64_t bigEndian(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

// The size of the atom at offset and whether it has the type asked; 0 when it cannot be read.
int64_t atomAt(int fd, int64_t offset, const char* type, bool* matches)
{
    unsigned char head[16];
    if (::pread(fd, head, sizeof head, off_t(offset)) < 8)
        return 0;
    *matches = !std::memcmp(head + 4, type, 4);
    const uint64_t size = bigEndian(head, 4);
    return int64_t(size == 1 ? bigEndian(head + 8, 8) : size);
}
} // namespace

int64_t TagBytes(const AVDictionary* tags)
{
    int64_t bytes = 0;
    const AVDictionaryEntry* e = nullptr;
    while ((e = av_dict_get(tags, "", e, AV_DICT_IGNORE_SUFFIX)))
        bytes += kBytesPerTag + int64_t(std::strlen(e->key)) + int64_t(std::strlen(e->value));
    return bytes;
}

int64_t Room(const Contents& c)
{
    const int64_t cover = c.coverBytes > 0 ? kCoverAtomBytes + c.coverBytes : 0;
    return kFixedBytes + cover + c.tagBytes + kBytesPerFrame * c.frames + kMarginBytes;
}

int64_t WrittenBytes(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    bool isType = false;
    const int64_t typeBytes = atomAt(fd, 0, "ftyp", &isType);
    int64_t index = 0;
    if (isType && typeBytes >= 8) {
        bool isIndex = false;
        index = atomAt(fd, typeBytes, "moov", &isIndex);
        if (!isIndex)
            index = 0;
    }
    ::close(fd);
    return index > 0 ? index + kFreeAtomBytes : 0;
}

std::string ShortReason(int64_t needed, int64_t kept, bool longerThanSaid)
{
    std::string reason = "the M4A index needs " + std::to_string(needed) + " bytes, more than the " +
                         std::to_string(kept) + " kept for it at the front of the file";
    if (longerThanSaid)
        reason += ": the input is longer than its header says";
    return reason;
}

} // namespace Mp4Index
