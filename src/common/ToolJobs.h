#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// How the program hands our conversion tool one file after another, so a batch pays one process start
// per slot instead of one per file. Both halves are opt-in through variables no other tool reads:
//
//   kHelloVariable=TOKEN   the tool prints HelloLine(TOKEN) on its standard output and exits 0. Only our
//                          own tool answers with the token it was given; FFmpeg and a user's own tool do
//                          something else, and are then run one process per file.
//   kJobsVariable=1        the tool reads jobs on its standard input and converts each in this process,
//                          with the console of a one-file run; after each it writes "end STATUS" to its
//                          record (ToolRecord.h). End of input between jobs ends the tool.
//
// A job is its argument count and then each argument, every number in decimal ended by "\n" and each
// argument as its length followed by its bytes, so an empty argument or one holding a newline cannot
// end a job early or split one.
//
// A job is any command line of the tool's own, a loudness analysis ("-analyse sample_peak" or
// "-analyse true_peak" before the output, which names the format only) as much as a conversion with a
// gain ("-af volume=-6.52dB") and ReplayGain tags ("-metadata REPLAYGAIN_TRACK_GAIN=-6.52 dB", ...). An
// analysis's "blocks" and "loudness" lines (ToolRecord.h) come before its "end", as a conversion's
// "name" does, so a worker can analyse an album's files and then convert them, one job after another.
// The gain is a plain multiplication before the encoder (no limiter): the caller lowers it where the
// measured true peak would pass its ceiling. The tags describe the output as written, so after a gain
// they give what is left to apply; the tool writes them as each format keeps them (GainTags.h).
namespace ToolJobs {

inline constexpr const char* kHelloVariable = "VELTRA_TOOL_HELLO";
inline constexpr const char* kJobsVariable = "VELTRA_TOOL_JOBS";
// A job list can be larger than this only by mistake; the reader refuses it rather than allocate.
inline constexpr std::size_t kMaxJobBytes = std::size_t(1) << 20;

inline std::string HelloLine(std::string_view token)
{
    return "veltra-conv jobs 1 " + std::string(token) + "\n";
}

template <typename Bytes> std::string Encode(const std::vector<Bytes>& args)
{
    std::string job = std::to_string(args.size()) + "\n";
    for (const Bytes& a : args) {
        const std::string_view bytes(a.data(), std::size_t(a.size()));
        job += std::to_string(bytes.size()) + "\n";
        job.append(bytes);
    }
    return job;
}

} // namespace ToolJobs
