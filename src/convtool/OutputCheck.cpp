#include "OutputCheck.h"

#include "LibAv.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace OutputCheck {

namespace {
class Descriptor
{
public:
    explicit Descriptor(const std::string& path) : m_fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC))
    {
        if (m_fd < 0)
            throw LibAv::Failure{"cannot read back the output: " + std::string(std::strerror(errno))};
    }
    ~Descriptor() { ::close(m_fd); }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

int64_t sizeOf(int fd)
{
    struct stat st
    {};
    if (::fstat(fd, &st) != 0)
        throw LibAv::Failure{"cannot read back the output: " + std::string(std::strerror(errno))};
    return int64_t(st.st_size);
}

LibAv::Failure damaged(const std::string& what)
{
    return LibAv::Failure{"the M4A file written is damaged: " + what};
}

uint64_t bigEndian(const unsigned char* p, int bytes)
{
    uint64_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = v << 8 | p[i];
    return v;
}

struct Atoms
{
    int64_t indexAt = -1;
    int64_t dataAt = -1; // where the audio's atom starts
    int64_t dataEnd = -1;
};

// The top-level atoms, which must follow one another to the last byte of the file.
Atoms walk(int fd, int64_t size)
{
    Atoms atoms;
    int64_t at = 0;
    bool first = true;
    while (at < size) {
        unsigned char head[16];
        const ssize_t got = ::pread(fd, head, sizeof head, off_t(at));
        if (got < 8)
            throw damaged("its atom at byte " + std::to_string(at) + " cannot be read");
        uint64_t length = bigEndian(head, 4);
        if (length == 1 && got == 16)
            length = bigEndian(head + 8, 8);
        else if (length == 0)
            length = uint64_t(size - at);
        if (length < 8 || length > uint64_t(size - at))
            throw damaged("its atom at byte " + std::to_string(at) + " does not fit in the file");
        const std::string type(reinterpret_cast<const char*>(head + 4), 4);
        if (first && type != "ftyp")
            throw damaged("it does not start with its file type");
        if (type == "moov" && atoms.indexAt < 0)
            atoms.indexAt = at;
        if (type == "mdat" && atoms.dataAt < 0) {
            atoms.dataAt = at;
            atoms.dataEnd = at + int64_t(length);
        }
        first = false;
        at += int64_t(length);
    }
    if (atoms.indexAt < 0 || atoms.dataAt < 0)
        throw damaged("it has no index or no audio");
    if (atoms.indexAt > atoms.dataAt)
        throw damaged("its index is not ahead of its audio");
    return atoms;
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

AVStream* audioOf(AVFormatContext* f)
{
    for (unsigned i = 0; i < f->nb_streams; ++i) {
        if (f->streams[i]->codecpar->codec_type == AVMEDIA_TYPE_AUDIO)
            return f->streams[i];
    }
    return nullptr;
}
} // namespace

int64_t Length(const std::string& path, int64_t written)
{
    const Descriptor fd(path);
    const int64_t size = sizeOf(fd.get());
    if (size != written)
        throw LibAv::Failure{"the output holds " + std::to_string(size) + " bytes where " + std::to_string(written) +
                             " were written"};
    // File systems that cannot tell holes answer with the end of the file.
    const off_t hole = ::lseek(fd.get(), 0, SEEK_HOLE);
    if (hole >= 0 && hole < size)
        throw LibAv::Failure{"the output has a hole at byte " + std::to_string(hole)};
    return size;
}

void End(const std::string& path, int64_t at, const std::vector<uint8_t>& bytes)
{
    const Descriptor fd(path);
    std::vector<uint8_t> read(bytes.size());
    size_t got = 0;
    while (got < read.size()) {
        const ssize_t n = ::pread(fd.get(), read.data() + got, read.size() - got, off_t(at + int64_t(got)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += size_t(n);
    }
    if (got != bytes.size() || read != bytes)
        throw LibAv::Failure{"the output does not hold what was written at its end: the file system lost or moved it"};
}

void Mp4(const std::string& path, const Mp4Audio& expected)
{
    const Descriptor fd(path);
    const Atoms atoms = walk(fd.get(), sizeOf(fd.get()));

    AVFormatContext* opened = nullptr;
    const int open = avformat_open_input(&opened, ("file:" + path).c_str(), av_find_input_format("mov"), nullptr);
    if (open < 0)
        throw damaged(LibAv::Reason(open));
    const LibAv::InputPtr f(opened);
    AVStream* audio = audioOf(f.get());
    if (!audio)
        throw damaged("its index has no audio");
    const int entries = avformat_index_get_entries_count(audio);
    if (entries != expected.frames)
        throw damaged("its index lists " + std::to_string(entries) + " frames where " +
                      std::to_string(expected.frames) + " were written");
    if (entries > 0) {
        const AVIndexEntry* first = avformat_index_get_entry(audio, 0);
        const AVIndexEntry* last = avformat_index_get_entry(audio, entries - 1);
        if (!first || !last || first->pos < atoms.dataAt || last->pos + last->size > atoms.dataEnd)
            throw damaged("its index points outside its audio");
        std::vector<unsigned char> frame(size_t(last->size));
        if (::pread(fd.get(), frame.data(), frame.size(), off_t(last->pos)) != ssize_t(frame.size()))
            throw damaged("its last frame cannot be read");
    }
    const double seconds = audio->duration == AV_NOPTS_VALUE ? -1 : audio->duration * av_q2d(audio->time_base);
    const double meant = double(expected.samples) / expected.rate;
    const double slack = 2.0 * expected.frameSize / expected.rate;
    if (std::fabs(seconds - meant) > slack)
        throw damaged("its index gives " + secondsText(seconds) + " of audio where " + secondsText(meant) +
                      " were encoded");
}

} // namespace OutputCheck
