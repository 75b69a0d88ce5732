#pragma once

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Reads the jobs of the tool's job mode (ToolJobs.h) from a stream, one at a time.
class JobReader
{
public:
    explicit JobReader(std::FILE* in) : m_in(in) {}

    // The next job's arguments; nothing at the end of input or on input that is not a job, after which
    // the tool ends: a half job must never be converted as if it were whole.
    std::optional<std::vector<std::string>> Next();

private:
    std::optional<size_t> number();

    std::FILE* m_in;
};
