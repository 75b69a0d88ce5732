#include "SelectorChoices.h"

namespace SelectorChoices {

QStringList Bitrates()
{
    return {"32", "48", "56", "64", "80", "96", "112", "128", "192", "224", "256", "320"};
}

QStringList Rates()
{
    return {"48000", "44100", "32000", "24000", "22050", "16000", "12050", "8000"};
}

QStringList Channels()
{
    return {"Mono", "Stereo"};
}

} // namespace SelectorChoices
