#include "TagProbe.h"

#include "AudioInput.h"
#include "Tags.h"
#include "ToolRecord.h"
#include "ToolTags.h"
#include "WriteAll.h"

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace TagProbe {

namespace {
// The keys each field is found under, as the demuxers name them (ID3, MP4 and ASF tags through
// FFmpeg's own names, Vorbis comments and APE tags as the file spells them).
struct Source
{
    const char* field;
    const char* keys[4];
};
constexpr Source kSources[] = {
    {"artist", {"artist"}},
    {"albumartist", {"album_artist", "albumartist", "album artist"}},
    {"album", {"album"}},
    {"title", {"title"}},
    {"track", {"track", "tracknumber"}},
    {"disc", {"disc", "discnumber"}},
    {"year", {"date", "year", "originaldate"}},
    {"genre", {"genre"}},
};

// "3/12", " 03 " give "3"; anything else stays as it is.
std::string numberOf(const std::string& value)
{
    size_t from = value.find_first_not_of(' ');
    size_t to = from;
    while (to < value.size() && value[to] >= '0' && value[to] <= '9')
        ++to;
    if (from == std::string::npos || to == from || to - from > 9)
        return value;
    const size_t after = value.find_first_not_of(' ', to);
    if (after != std::string::npos && value[after] != '/')
        return value;
    while (to - from > 1 && value[from] == '0')
        ++from;
    return value.substr(from, to - from);
}

// The first run of exactly four digits; the date itself when it has none.
std::string yearOf(const std::string& date)
{
    const auto digit = [&](size_t i) { return i < date.size() && date[i] >= '0' && date[i] <= '9'; };
    for (size_t i = 0; i + 4 <= date.size(); ++i) {
        if (digit(i) && digit(i + 1) && digit(i + 2) && digit(i + 3) && !digit(i + 4) && (i == 0 || !digit(i - 1)))
            return date.substr(i, 4);
    }
    return date;
}

std::string openReason(int error)
{
    // Recognised, but not one of the formats an input may be: a playlist, an image, text.
    if (error == AVERROR(EINVAL))
        return "not an audio file this tool reads";
    if (error == AVERROR_EOF)
        return LibAv::Reason(AVERROR_INVALIDDATA);
    return LibAv::Reason(error);
}

// What the format search reads past an ID3v2 tag.
constexpr size_t kBytesAfterTag = 4096;

// The format of a file that begins with an ID3v2 tag, found from the bytes after the tag; nothing when
// those bytes do not tell clearly enough, or the file has no such tag. FFmpeg's own search would read
// its way through the tag, trying every demuxer on ever larger pieces of a cover picture: milliseconds
// for an MP3 whose header alone takes a few dozen microseconds. The tag is still read as the file opens.
const AVInputFormat* formatAfterTag(const std::string& path, const std::string& url)
{
    std::FILE* f = std::fopen(path.c_str(), "rbe");
    if (!f)
        return nullptr;
    unsigned char h[10];
    size_t tag = 0;
    if (std::fread(h, 1, sizeof h, f) == sizeof h && h[0] == 'I' && h[1] == 'D' && h[2] == '3' && h[3] != 0xFF &&
        h[4] != 0xFF && !((h[6] | h[7] | h[8] | h[9]) & 0x80)) {
        const size_t body = (size_t(h[6]) << 21) | (size_t(h[7]) << 14) | (size_t(h[8]) << 7) | size_t(h[9]);
        tag = 10 + body + ((h[5] & 0x10) ? 10 : 0);
    }
    std::vector<unsigned char> bytes;
    size_t got = 0;
    if (tag > 0 && std::fseek(f, long(tag), SEEK_SET) == 0) {
        bytes.assign(kBytesAfterTag + AVPROBE_PADDING_SIZE, 0);
        got = std::fread(bytes.data(), 1, kBytesAfterTag, f);
    }
    std::fclose(f);
    if (got == 0)
        return nullptr;
    AVProbeData probe{};
    probe.filename = url.c_str();
    probe.buf = bytes.data();
    probe.buf_size = int(got);
    int score = AVPROBE_SCORE_RETRY;
    return av_probe_input_format2(&probe, 1, &score);
}

void record(const std::string& lines)
{
    // A program that has gone away reads nothing more: that is not the probe's failure.
    [[maybe_unused]] const bool written = WriteAll(ToolRecord::kDescriptor, lines.data(), lines.size());
}
} // namespace

bool Requested(const std::vector<std::string>& args)
{
    return args.size() == 3 && args[0] == ToolTags::kProbeOption && args[1] == "-i";
}

Fields FieldsOf(const AVDictionary* file, const AVDictionary* stream)
{
    AVDictionary* tags = Tags::Collect(file, stream);
    Fields fields;
    for (const Source& s : kSources) {
        const AVDictionaryEntry* e = nullptr;
        for (const char* key : s.keys) {
            if (key && (e = av_dict_get(tags, key, nullptr, 0)) && *e->value)
                break;
            e = nullptr;
        }
        if (!e)
            continue;
        std::string value = e->value;
        if (!std::strcmp(s.field, "track") || !std::strcmp(s.field, "disc"))
            value = numberOf(value);
        else if (!std::strcmp(s.field, "year"))
            value = yearOf(value);
        fields.emplace_back(s.field, value);
    }
    av_dict_free(&tags);
    return fields;
}

Fields Read(const std::string& path)
{
    struct stat st
    {};
    if (::stat(path.c_str(), &st) != 0)
        throw LibAv::Failure{std::strerror(errno)};
    if (!S_ISREG(st.st_mode))
        throw LibAv::Failure{S_ISDIR(st.st_mode) ? std::strerror(EISDIR) : "not a regular file"};
    if (st.st_size == 0)
        throw LibAv::Failure{"the input is empty"};
    // "file:" in front, so a name such as "http:x.mp3" is only ever a file.
    const std::string url = "file:" + path;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", AudioInput::kDemuxers, 0);
    AVFormatContext* opened = nullptr;
    const int result = avformat_open_input(&opened, url.c_str(), formatAfterTag(path, url), &options);
    av_dict_free(&options);
    if (result < 0)
        throw LibAv::Failure{openReason(result)};
    const LibAv::InputPtr format(opened);
    // The header has described the streams; the first audio one that is not a cover picture carries
    // the tags where the container keeps them per stream.
    const AVDictionary* stream = nullptr;
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* s = format->streams[i];
        if (s->codecpar->codec_type == AVMEDIA_TYPE_AUDIO && !(s->disposition & AV_DISPOSITION_ATTACHED_PIC)) {
            stream = s->metadata;
            break;
        }
    }
    return FieldsOf(format->metadata, stream);
}

std::string Lines(const Fields& fields)
{
    std::string lines;
    for (const auto& [field, value] : fields)
        lines += ToolTags::Line(field, value);
    return lines;
}

int Run(const std::vector<std::string>& args, std::FILE* console)
{
    try {
        const std::string lines = Lines(Read(args[2]));
        if (ToolRecord::Requested()) {
            record(lines);
        } else {
            std::fwrite(lines.data(), 1, lines.size(), stdout);
            std::fflush(stdout);
        }
        return 0;
    } catch (const LibAv::Failure& f) {
        std::fprintf(console, "%s\n", f.reason.c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(console, "%s\n", LibAv::Reason(AVERROR(ENOMEM)).c_str());
        return 1;
    }
}

} // namespace TagProbe
