// Arbitrary bytes as an album image: its header read for a length (WAV, WavPack, Monkey's Audio, after
// ID3v2 tags; the rate alone of MP3 and Ogg) and its APE tag for a cue sheet. Neither may crash or read past the bytes,
// a length is sound or nothing, and an item is never longer than asked.
#include "filelist/ApeTag.h"
#include "filelist/FileBytes.h"
#include "filelist/ImageLength.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const FileBytes file(QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    if (const auto length = ImageLength::FromHeader(file)) {
        const bool soundSamples = length->samples == AudioLength::kUnknownSamples ||
                                  (length->samples > 0 && length->samples <= (qint64(1) << 40));
        if (length->rate <= 0 || length->rate > (1 << 24) || !soundSamples)
            std::abort();
    }
    constexpr qint64 kLimit = 256;
    if (const auto item = ApeTag::TextItem(file, "Cuesheet", kLimit)) {
        if (item->size() > kLimit || item->size() > qint64(size))
            std::abort();
    }
    return 0;
}
