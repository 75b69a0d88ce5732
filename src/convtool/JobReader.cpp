#include "JobReader.h"

#include "ToolJobs.h"

std::optional<size_t> JobReader::number()
{
    size_t n = 0;
    int digits = 0;
    for (;;) {
        const int c = std::fgetc(m_in);
        if (c == '\n' && digits > 0)
            return n;
        if (c < '0' || c > '9' || digits >= 9)
            return std::nullopt;
        n = n * 10 + size_t(c - '0');
        ++digits;
    }
}

std::optional<std::vector<std::string>> JobReader::Next()
{
    const auto count = number();
    if (!count || *count == 0 || *count > ToolJobs::kMaxJobBytes)
        return std::nullopt;
    std::vector<std::string> args;
    size_t total = 0;
    for (size_t i = 0; i < *count; ++i) {
        const auto length = number();
        if (!length || (total += *length) > ToolJobs::kMaxJobBytes)
            return std::nullopt;
        std::string arg(*length, '\0');
        if (*length > 0 && std::fread(arg.data(), 1, *length, m_in) != *length)
            return std::nullopt;
        args.push_back(std::move(arg));
    }
    return args;
}
