#include "Mp4Index.h"

#include <cstddef>
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

void putBigEndian(std::vector<uint8_t>& out, uint32_t v)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(uint8_t(v >> shift));
}

void setBigEndian(std::vector<uint8_t>& bytes, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[at + size_t(i)] = uint8_t(v >> (24 - 8 * i));
}

// An atom of the type around payload; fullBox adds the version and flags word (zero) first.
std::vector<uint8_t> atom(const char* type, const std::vector<uint8_t>& payload, bool fullBox = false)
{
    std::vector<uint8_t> out;
    putBigEndian(out, uint32_t(8 + (fullBox ? 4 : 0) + payload.size()));
    out.insert(out.end(), type, type + 4);
    if (fullBox)
        putBigEndian(out, 0);
    out.insert(out.end(), payload.begin(), payload.end());
    return out;
}

std::vector<uint8_t> text(const std::string& s)
{
    return std::vector<uint8_t>(s.begin(), s.end());
}

std::vector<uint8_t> freeform(const std::string& name, const std::string& value)
{
    std::vector<uint8_t> data;
    putBigEndian(data, 1); // UTF-8 text
    putBigEndian(data, 0); // no locale
    data.insert(data.end(), value.begin(), value.end());
    std::vector<uint8_t> body = atom("mean", text("com.apple.iTunes"), true);
    for (const auto& part : {atom("name", text(name), true), atom("data", data)})
        body.insert(body.end(), part.begin(), part.end());
    return atom("----", body);
}

// The levels below moov where the items go, as FFmpeg's muxer always writes them; meta is a full box.
struct Level
{
    const char* type;
    bool fullBox;
};
constexpr Level kPath[] = {{"udta", false}, {"meta", true}, {"ilst", false}};

// Adds items at the end of the container whose size is at sizeAt and whose children fill [from, to),
// below it the level at depth. Returns the bytes added; every container on the way grows by them.
size_t insertBelow(std::vector<uint8_t>& b, size_t sizeAt, size_t from, size_t to, int depth,
                   const std::vector<uint8_t>& items)
{
    size_t added = 0;
    if (depth == int(std::size(kPath))) {
        b.insert(b.begin() + std::ptrdiff_t(to), items.begin(), items.end());
        added = items.size();
    }
    for (size_t at = from; added == 0 && at + 8 <= to;) {
        const uint64_t size = bigEndian(&b[at], 4);
        if (size < 8 || size > to - at)
            throw LibAv::Failure{"the M4A index written is not as expected: an atom does not fit"};
        if (std::memcmp(&b[at + 4], kPath[depth].type, 4) == 0)
            added = insertBelow(b, at, at + 8 + (kPath[depth].fullBox ? 4 : 0), at + size_t(size), depth + 1, items);
        at += size_t(size);
    }
    if (added == 0)
        throw LibAv::Failure{std::string("the M4A index written is not as expected: it has no ") + kPath[depth].type};
    setBigEndian(b, sizeAt, uint32_t(bigEndian(&b[sizeAt], 4) + added));
    return added;
}
} // namespace

void AddFreeform(std::vector<uint8_t>& bytes, const std::vector<std::pair<std::string, std::string>>& tags)
{
    if (tags.empty())
        return;
    const size_t total = bytes.size();
    if (total < 16 || std::memcmp(&bytes[4], "moov", 4) != 0 || bigEndian(bytes.data(), 4) == 1)
        throw LibAv::Failure{"the M4A index written is not as expected: no index at the front"};
    const size_t index = size_t(bigEndian(bytes.data(), 4));
    if (index + 8 > total || std::memcmp(&bytes[index + 4], "free", 4) != 0 ||
        bigEndian(&bytes[index], 4) != total - index)
        throw LibAv::Failure{"the M4A index written is not as expected: no free room after it"};
    std::vector<uint8_t> items;
    for (const auto& [name, value] : tags) {
        const std::vector<uint8_t> item = freeform(name, value);
        items.insert(items.end(), item.begin(), item.end());
    }
    const size_t added = insertBelow(bytes, 0, 8, index, 0, items);
    const size_t freeBytes = total - index;
    if (freeBytes < added + 8)
        throw LibAv::Failure{ShortReason(int64_t(index + added + 8), int64_t(total), false)};
    // The free atom, now after the grown index, gives up what the index took.
    setBigEndian(bytes, index + added, uint32_t(freeBytes - added));
    bytes.resize(total);
}

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
