#include "LibAv.h"

extern "C" {
#include <libavutil/log.h>
#include <libavutil/mem.h>
}

namespace LibAv {

void Init()
{
    av_log_set_level(AV_LOG_QUIET);
    av_max_alloc(size_t(256) << 20);
}

std::string Reason(int error)
{
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    if (av_strerror(error, text, sizeof text) < 0)
        return "error " + std::to_string(error);
    return text;
}

int Check(int result)
{
    if (result < 0)
        throw Failure{Reason(result)};
    return result;
}

} // namespace LibAv
