#include "FlacImage.h"

#include "GetFile.h"
#include "PathBytes.h"

#include <FLAC/metadata.h>
#include <memory>
#include <strings.h>
#include <sys/stat.h>

namespace FlacImage {

namespace {
struct MetadataDeleter
{
    void operator()(FLAC__StreamMetadata* m) const { FLAC__metadata_object_delete(m); }
};
using Metadata = std::unique_ptr<FLAC__StreamMetadata, MetadataDeleter>;

// libFLAC opens by name and would wait for ever on a FIFO.
bool isRegularFile(const QString& path)
{
    struct stat st
    {};
    return ::stat(PathBytes::Encode(path).constData(), &st) == 0 && S_ISREG(st.st_mode);
}

// The lead-out track closes every block. It is numbered 170 or 255, and metaflac writes 170 even where
// it clears the block's CD flag, so only its place tells it reliably.
bool isLeadOut(const FLAC__StreamMetadata_CueSheet& sheet, uint32_t track)
{
    return track + 1 == sheet.num_tracks;
}

std::optional<QList<CuePoints>> blockPoints(const QString& path)
{
    FLAC__StreamMetadata* read = nullptr;
    if (!isRegularFile(path) || !FLAC__metadata_get_cuesheet(PathBytes::Encode(path).constData(), &read) || !read)
        return std::nullopt;
    const Metadata block(read);
    const FLAC__StreamMetadata_CueSheet& sheet = block->data.cue_sheet;
    QList<CuePoints> points;
    for (uint32_t t = 0; t < sheet.num_tracks; ++t) {
        const FLAC__StreamMetadata_CueSheet_Track& track = sheet.tracks[t];
        if (isLeadOut(sheet, t) || track.type != 0)
            continue;
        CuePoints p;
        p.fileName = GetFile::ParseFileName(path);
        p.audioPath = path;
        for (uint8_t i = 0; i < track.num_indices; ++i)
            p.indexes.append({track.indices[i].number, qint64(track.offset + track.indices[i].offset)});
        p.tags.track = track.number;
        points.append(p);
    }
    if (points.isEmpty())
        return std::nullopt;
    return points;
}
} // namespace

std::optional<AudioLength> Length(const QString& path)
{
    FLAC__StreamMetadata info;
    if (!isRegularFile(path) || !FLAC__metadata_get_streaminfo(PathBytes::Encode(path).constData(), &info))
        return std::nullopt;
    const FLAC__StreamMetadata_StreamInfo& s = info.data.stream_info;
    if (s.sample_rate == 0 || s.total_samples == 0)
        return std::nullopt;
    return AudioLength{int(s.sample_rate), qint64(s.total_samples)};
}

QByteArray CueSheetTag(const QString& path)
{
    FLAC__StreamMetadata* read = nullptr;
    if (!isRegularFile(path) || !FLAC__metadata_get_tags(PathBytes::Encode(path).constData(), &read) || !read)
        return {};
    const Metadata tags(read);
    const FLAC__StreamMetadata_VorbisComment& comments = tags->data.vorbis_comment;
    static constexpr char kName[] = "CUESHEET=";
    for (uint32_t i = 0; i < comments.num_comments; ++i) {
        const FLAC__StreamMetadata_VorbisComment_Entry& e = comments.comments[i];
        if (e.length >= sizeof kName - 1 &&
            !strncasecmp(reinterpret_cast<const char*>(e.entry), kName, sizeof kName - 1))
            return QByteArray(reinterpret_cast<const char*>(e.entry) + sizeof kName - 1,
                              qsizetype(e.length - (sizeof kName - 1)));
    }
    return {};
}

std::optional<CueSheet> EmbeddedSheet(const QString& path)
{
    const std::optional<AudioLength> length = Length(path);
    const QByteArray tag = CueSheetTag(path);
    std::optional<QList<CuePoints>> block = blockPoints(path);
    if (!block) {
        if (tag.isEmpty())
            return std::nullopt;
        return CueSheet::FromEmbedded(tag, path, length);
    }
    if (!tag.isEmpty()) {
        const CueSheet named = CueSheet::FromEmbedded(tag, path, length);
        if (named.usable() && named.tracks().size() == block->size()) {
            for (qsizetype i = 0; i < block->size(); ++i) {
                const int number = (*block)[i].tags.track;
                if (named.tracks()[i].tags.track == number)
                    (*block)[i].tags = named.tracks()[i].tags;
            }
        }
    }
    return CueSheet::FromPoints(*block, CueSheet::Unit::Samples, [&](const QString&) { return length; });
}

} // namespace FlacImage
