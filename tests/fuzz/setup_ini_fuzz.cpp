// Arbitrary bytes as setup.ini: the reader must never crash, and every index it hands over is 16-bit.
#include "settings/SetupIni.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const SetupIni::Read r = SetupIni::Parse(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    for (const auto& index : {r.bitrateIndex, r.rateIndex, r.channelIndex, r.formatIndex}) {
        if (index && (*index < -32768 || *index > 32767))
            std::abort();
    }
    return 0;
}
