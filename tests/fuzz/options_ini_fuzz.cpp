// Arbitrary bytes as options.ini: the reader must never crash, and must leave settings in their ranges.
#include "settings/OptionsIni.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OptionSettings options;
    OptionsIni::ParseOptions(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), options);
    if (options.SoundReminder < 0 || options.SoundReminder > 1 || options.MusicCutter < 0 || options.MusicCutter > 1 ||
        options.CutFrom < 0 || options.CutDuration < 0)
        std::abort();
    return 0;
}
