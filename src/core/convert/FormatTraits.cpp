#include "FormatTraits.h"

namespace FormatTraits {

namespace {
struct Traits
{
    const char* name;
    bool bitrate;
    bool rate;
    bool channels;
    // Said of every selector the format ignores. The numbers are what the encoders make when the
    // command line leaves them open.
    const char* ignoredTip;
};

constexpr Traits kTraits[] = {
    {"MP3", true, true, true, ""},
    {"WMA", true, true, true, ""},
    {"OGG", false, false, false,
     "OGG is Vorbis at its default quality (about 112 kbps), always stereo, at the input's rate"},
    {"WAV", false, false, false, "WAV is uncompressed 16-bit PCM: it keeps the input's rate and channels"},
    {"FLAC", false, false, false, "FLAC is lossless: it keeps the input's rate and channels"},
    {"AC3", false, false, false,
     "AC3 keeps the input's channels (up to 5.1) and rate (32000 to 48000 Hz) at the encoder's standard bitrate "
     "(192 kbps for stereo)"},
    {"AAC", false, false, false, "AAC keeps the input's rate and channels at about 128 kbps"},
    {"AMR", false, false, false, "AMR is always 8000 Hz, 7.4 kbps, mono"},
    {"OPUS", true, false, true, "Opus is always 48000 Hz"},
    {"M4A", true, true, true, ""},
};
constexpr int kCount = int(sizeof kTraits / sizeof kTraits[0]);

const Traits* find(int formatIndex)
{
    return formatIndex >= 0 && formatIndex < kCount ? &kTraits[formatIndex] : nullptr;
}
} // namespace

QStringList Names()
{
    QStringList names;
    for (const Traits& t : kTraits)
        names.append(QString::fromLatin1(t.name));
    return names;
}

int Count()
{
    return kCount;
}

bool Uses(int formatIndex, Selector selector)
{
    const Traits* t = find(formatIndex);
    if (!t)
        return true;
    switch (selector) {
    case Selector::Bitrate:
        return t->bitrate;
    case Selector::Rate:
        return t->rate;
    case Selector::Channels:
        return t->channels;
    }
    return true;
}

QString IgnoredTip(int formatIndex, Selector selector)
{
    if (Uses(formatIndex, selector))
        return {};
    return QString::fromLatin1(find(formatIndex)->ignoredTip);
}

} // namespace FormatTraits
