// Arbitrary bytes as options.ini: the reader must never crash, and whatever it reads must come back
// unchanged from the file the Options window would write for it.
#include "settings/OptionsIni.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    OptionSettings options;
    OptionsIni::ParseOptions(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)), options);
    QByteArray written;
    for (qint64 v : {qint64(options.SoundReminder), qint64(options.MusicCutter), qint64(options.CutFrom),
                     qint64(options.CutDuration), qint64(options.FilesAtOnce), qint64(options.OutputFiles),
                     qint64(options.IfExists)})
        written += QByteArray::number(v) + "\r\n";
    if (options.FilesAtOnce < 0 || options.FilesAtOnce > 8 || qint32(options.OutputFiles) < 0 ||
        qint32(options.OutputFiles) > 2 || qint32(options.IfExists) < 0 || qint32(options.IfExists) > 1)
        std::abort();
    OptionSettings again{7, 7, 7, 7, 7, OutputLayout(7), ExistingOutput(7)};
    OptionsIni::ParseOptions(written, again);
    if (again.SoundReminder != options.SoundReminder || again.MusicCutter != options.MusicCutter ||
        again.CutFrom != options.CutFrom || again.CutDuration != options.CutDuration ||
        again.FilesAtOnce != options.FilesAtOnce || again.OutputFiles != options.OutputFiles ||
        again.IfExists != options.IfExists)
        std::abort();
    return 0;
}
