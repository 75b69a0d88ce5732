// Arbitrary bytes as a cue sheet, read in whatever encoding they look like: the reader must never crash, and whatever
// tracks it accepts must cover the image exactly once, in order, each starting inside it.
#include "filelist/CueSheet.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    const AudioLength image{44100, qint64(44100) * 3600};
    const CueSheet sheet = CueSheet::FromEmbedded(bytes, QStringLiteral("/nonexistent/image.flac"), image);
    if (sheet.usable() == sheet.tracks().isEmpty() || sheet.usable() != sheet.reason().isEmpty())
        std::abort();
    const QList<CueTrack>& tracks = sheet.tracks();
    for (qsizetype i = 0; i < tracks.size(); ++i) {
        const CueTrack& t = tracks[i];
        const bool last = i + 1 == tracks.size();
        if (t.start < 0 || t.start >= image.samples || (i == 0 && t.start != 0) || (last && t.end != -1) ||
            (!last && t.end != tracks[i + 1].start) || (t.end != -1 && t.end <= t.start))
            std::abort();
        for (const auto& pair : t.tags.Pairs()) {
            if (pair.first.contains(QLatin1String("replaygain"), Qt::CaseInsensitive))
                std::abort();
        }
    }
    // The same text with its FILE lines looked for, through any path a sheet may write.
    CueSheet::FromText(bytes, QStringLiteral("/nonexistent"), [&](const QString&) { return image; });
    return 0;
}
