#include "Transcoder.h"

#include "AmrOutput.h"
#include "AudioInput.h"
#include "ConsoleLines.h"
#include "Gain.h"
#include "LoudnessMeter.h"
#include "MuxedOutput.h"
#include "OutputCheck.h"
#include "PartFile.h"
#include "RangeReader.h"
#include "Resampler.h"
#include "SampleRange.h"
#include "TagProbe.h"
#include "Tags.h"
#include "ToolRecord.h"
#include "WriteAll.h"

extern "C" {
#include <libavutil/parseutils.h>
}

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace Transcoder {

namespace {
using Clock = std::chrono::steady_clock;
constexpr auto kStatsEvery = std::chrono::milliseconds(500);

// A time as FFmpeg reads one: seconds ("30", "1.5") or [-][HH:]MM:SS[.m...], in microseconds.
int64_t timeArgument(const std::string& text, const char* what)
{
    int64_t us = 0;
    if (av_parse_time(&us, text.c_str(), 1) < 0)
        throw LibAv::Failure{std::string("invalid ") + what + " \"" + text + "\""};
    return us;
}

struct Cut
{
    int64_t startMicros = 0;
    int64_t lengthMicros = -1; // -1: to the end
};

Cut cutOf(const ToolArgs::Parsed& a)
{
    Cut cut;
    // The Options window lets a negative start through: it counts as the beginning.
    if (!a.start.empty())
        cut.startMicros = std::max<int64_t>(0, timeArgument(a.start, "start"));
    if (!a.length.empty()) {
        cut.lengthMicros = timeArgument(a.length, "length");
        if (cut.lengthMicros <= 0)
            throw LibAv::Failure{"the length of the cut must be more than 0 seconds"};
    }
    return cut;
}

// Which input samples the output keeps: an album image's track (-range) and the cutter inside it.
SampleRange::Window windowOf(const ToolArgs::Parsed& a, const Cut& cut, int rate)
{
    SampleRange::Window window;
    if (!a.range.empty()) {
        const auto range = SampleRange::Parse(a.range, rate);
        if (!range)
            throw LibAv::Failure{"invalid range \"" + a.range + "\""};
        window = *range;
    }
    return SampleRange::Cut(window, cut.startMicros, cut.lengthMicros, rate);
}

// How long the output will be as far as the input tells, for what is sized before the audio is written.
void expectLength(const AudioInput& input, const SampleRange::Window& window, int rate, MuxedOutput::Settings& s)
{
    const AVFormatContext* f = input.format();
    int64_t micros = input.durationMicros();
    bool guess = f->duration_estimation_method == AVFMT_DURATION_FROM_BITRATE;
    if (micros < 0) {
        // Nothing tells: as long as the file would last at 16 kbps, which few audio files go below.
        micros = std::max<int64_t>(0, avio_size(f->pb)) * 500;
        guess = true;
    }
    micros = std::max<int64_t>(0, micros - av_rescale(window.start, 1000000, rate));
    if (window.end >= 0)
        micros = std::min(micros, av_rescale(window.end - window.start, 1000000, rate));
    s.expectedMicros = micros;
    s.expectedIsGuess = guess;
}

MuxedOutput::Settings settingsOf(const ToolArgs::Parsed& a, const AudioInput& input, const SampleRange::Window& window)
{
    MuxedOutput::Settings s;
    s.outputPath = a.output;
    s.codec = a.codec;
    s.partOfImage = !a.range.empty();
    s.tags = a.metadata;
    if (!a.bitrate.empty()) {
        const auto rate = ToolArgs::BitRate(a.bitrate);
        if (!rate)
            throw LibAv::Failure{"invalid bit rate \"" + a.bitrate + "\""};
        s.bitRate = *rate;
    }
    if (!a.sampleRate.empty()) {
        const auto rate = ToolArgs::PositiveInt(a.sampleRate);
        if (!rate)
            throw LibAv::Failure{"invalid sample rate \"" + a.sampleRate + "\""};
        s.sampleRate = *rate;
    }
    if (!a.channels.empty()) {
        const auto channels = ToolArgs::PositiveInt(a.channels);
        if (!channels || *channels > 64)
            throw LibAv::Failure{"invalid channel count \"" + a.channels + "\""};
        s.channels = *channels;
    }
    expectLength(input, window, input.decoder()->sample_rate, s);
    s.gainTags = a.gainTags;
    // What the input's tags said of its loudness is not true of a cut of it, nor of it made louder. An
    // album image's track keeps the image's album gain (its album is the image); its track gain goes with
    // the image's other whole-file tags (Tags::ForTrack).
    s.staleGain = !a.start.empty() || !a.length.empty() || a.gainDb.has_value();
    return s;
}

std::unique_ptr<Output> openOutput(const ToolArgs::Parsed& a, const AudioInput& input,
                                   const SampleRange::Window& window, PartFile& part)
{
    if (ToolArgs::WantsAmr(a)) {
        const auto mode = ToolArgs::AmrMode(a.bitrate.empty() ? std::string("12.2k") : a.bitrate);
        if (!mode)
            throw LibAv::Failure{"AMR-NB has no " + a.bitrate + " rate; use one of " + ToolArgs::AmrRates()};
        return std::make_unique<AmrOutput>(part.takeFd(), *mode);
    }
    MuxedOutput::Settings s = settingsOf(a, input, window);
    s.writePath = part.path();
    return std::make_unique<MuxedOutput>(s, input);
}

// What measures the samples the output's encoder would take.
std::unique_ptr<LoudnessMeter> openMeter(const ToolArgs::Parsed& a, const AudioInput& input,
                                         const SampleRange::Window& window)
{
    if (a.analyse != "sample_peak" && a.analyse != "true_peak")
        throw LibAv::Failure{"invalid analysis \"" + a.analyse + "\": it takes sample_peak or true_peak"};
    Resampler::Format f =
        ToolArgs::WantsAmr(a) ? AmrOutput::Samples() : MuxedOutput::Samples(settingsOf(a, input, window), input);
    auto meter = std::make_unique<LoudnessMeter>(f, a.analyse == "true_peak");
    av_channel_layout_uninit(&f.layout);
    return meter;
}

// Why a file has no loudness to even out, for the console.
std::string noLoudness(ToolRecord::Loudness::Kind kind)
{
    return kind == ToolRecord::Loudness::Kind::Short
               ? "the audio is shorter than 0.4 s, too short to measure its loudness: it gets no gain and no tags"
               : "the audio never rises above -70 LUFS, too quiet to measure its loudness: it gets no gain and no tags";
}

std::string measured(const ToolRecord::Loudness& l)
{
    char line[160];
    std::snprintf(line, sizeof line, "loudness: %.2f LUFS, sample peak %.6f", l.integrated, l.samplePeak);
    std::string text = line;
    if (l.truePeak) {
        std::snprintf(line, sizeof line, ", true peak %.6f", *l.truePeak);
        text += line;
    }
    return text;
}

class Job
{
public:
    Job(const ToolArgs::Parsed& args, std::FILE* console) : m_args(args), m_console(console) {}

    void run()
    {
        const Cut cut = cutOf(m_args);
        struct stat inputStat
        {};
        if (m_args.keepDate && ::stat(m_args.input.c_str(), &inputStat) != 0)
            m_inputDateError = errno;
        m_inputDate = inputStat.st_mtim;
        AudioInput input(m_args.input);
        const SampleRange::Window window = windowOf(m_args, cut, input.decoder()->sample_rate);
        announce(input, window);

        const bool analysing = !m_args.analyse.empty();
        std::optional<PartFile> part;
        std::unique_ptr<Output> out = analysing ? openMeter(m_args, input, window) : openTarget(input, window, part);
        notes(*out);
        convertAll(input, window, *out);
        out->Finish();
        if (analysing) {
            report(static_cast<LoudnessMeter&>(*out), input);
            return;
        }
        // Read back before it takes the output's name: a file a player would find cut short or unreadable
        // is a failure, not a converted file.
        const int64_t bytes = OutputCheck::Length(part->path(), out->size());
        out->Check(part->path());
        if (m_args.keepDate)
            keepDate(*part);
        part->Commit();
        stats(*out, bytes, true);
        if (ToolRecord::Requested())
            record(ToolRecord::NameLine(part->counter(), part->mapped()));
    }

private:
    // The input's length as the console's first line, the length of what is kept: a track's progress runs
    // over the track, not over its whole image. A window past the input's end is refused here.
    void announce(const AudioInput& input, const SampleRange::Window& window)
    {
        const AVFormatContext* f = input.format();
        const int inputRate = input.decoder()->sample_rate;
        int64_t duration = input.durationMicros();
        if (!m_args.range.empty() && window.end >= 0)
            duration = av_rescale(window.end - window.start, 1000000, inputRate);
        else if (!m_args.range.empty() && duration >= 0)
            duration = std::max<int64_t>(0, duration - av_rescale(window.start, 1000000, inputRate));
        std::fputs(
            ConsoleLines::Duration(duration, f->start_time == AV_NOPTS_VALUE ? -1 : f->start_time, f->bit_rate).c_str(),
            m_console);
        const int64_t startMicros = av_rescale(window.start, 1000000, inputRate);
        if ((input.durationMicros() >= 0 && window.start > 0 && startMicros >= input.durationMicros()) ||
            (window.end >= 0 && window.end <= window.start))
            throw LibAv::Failure{"the cut starts after the end of the input"};
    }

    // The part file and the output that writes into it.
    std::unique_ptr<Output> openTarget(const AudioInput& input, const SampleRange::Window& window,
                                       std::optional<PartFile>& part)
    {
        GainTags::Check(m_args.gainTags);
        struct stat existing
        {};
        if (!m_args.overwrite && ::stat(m_args.output.c_str(), &existing) == 0)
            throw LibAv::Failure{"File '" + m_args.output + "' already exists. Exiting."};
        part.emplace(m_args.output);
        // "-y" lets the output replace the file that held its name at the start, and only that one. The
        // program (which asks for records) chose a free name itself: whatever holds it now came meanwhile.
        if (m_args.overwrite && !ToolRecord::Requested() && ::lstat(m_args.output.c_str(), &existing) == 0)
            part->allowReplacing(existing.st_dev, existing.st_ino);
        std::unique_ptr<Output> out = openOutput(m_args, input, window, *part);
        if (ToolArgs::WantsAmr(m_args) && !m_args.gainTags.empty())
            std::fprintf(m_console, "this output format keeps no gain tags: the file gets none\n");
        return out;
    }

    // Every kept sample through the resampler into the output; a run that gave nothing says why.
    void convertAll(AudioInput& input, const SampleRange::Window& window, Output& out)
    {
        const AVCodecContext* dec = input.decoder();
        Resampler::Format in;
        in.rate = dec->sample_rate;
        av_channel_layout_copy(&in.layout, &input.layout());
        in.sampleFormat = dec->sample_fmt;
        Resampler resampler(in, out.format());
        av_channel_layout_uninit(&in.layout);

        RangeReader reader(input, window);
        LibAv::FramePtr decoded(av_frame_alloc());
        LibAv::FramePtr encoded(av_frame_alloc());
        if (!decoded || !encoded)
            throw LibAv::Failure{LibAv::Reason(AVERROR(ENOMEM))};
        m_started = Clock::now();
        m_lastStats = m_started;
        m_rate = out.format().rate;
        if (m_args.gainDb)
            m_gain = std::pow(10.0, *m_args.gainDb / 20.0);
        int from = 0;
        int count = 0;
        while (reader.Next(decoded.get(), from, count)) {
            resampler.Push(decoded.get(), from, count);
            encode(resampler, out, encoded.get(), false);
            av_frame_unref(decoded.get());
        }
        resampler.Flush();
        encode(resampler, out, encoded.get(), true);
        if (m_written == 0) {
            if (!input.readError().empty())
                throw LibAv::Failure{input.readError()};
            if (reader.endedBeforeStart())
                throw LibAv::Failure{"the cut starts after the end of the input"};
            if (input.refusedPackets() > 0)
                throw LibAv::Failure{LibAv::Reason(AVERROR_INVALIDDATA)};
            throw LibAv::Failure{"the input has no audio"};
        }
    }

    // The date of the input as it was when its reading began. One that could not be kept is said, but
    // the converted file is no failure for it.
    void keepDate(PartFile& part)
    {
        const int error = m_inputDateError != 0 ? m_inputDateError : part.SetModified(m_inputDate);
        if (error != 0)
            std::fprintf(m_console, "the input's date was not kept: %s\n", std::strerror(error));
    }

    void report(LoudnessMeter& meter, const AudioInput& input)
    {
        stats(meter, 0, true);
        const ToolRecord::Loudness result = meter.Result();
        const bool none = result.kind != ToolRecord::Loudness::Kind::Measured;
        std::fprintf(m_console, "%s\n", (none ? noLoudness(result.kind) : measured(result)).c_str());
        if (!ToolRecord::Requested())
            return;
        // The tags a probe would give come with the loudness, in the same pass: they group the file
        // into its album and name its output, so no probe runs for it afterwards.
        const std::string lines =
            TagProbe::Lines(TagProbe::FieldsOf(input.format()->metadata, input.audio()->metadata));
        record(lines + ToolRecord::BlocksLines(meter.blocks()) + ToolRecord::LoudnessLine(result));
    }

    static void record(const std::string& line)
    {
        // The program reads this pipe as the tool goes and after it has ended: a reader that has gone away
        // is not this file's failure.
        [[maybe_unused]] const bool written = WriteAll(ToolRecord::kDescriptor, line.data(), line.size());
    }

    void encode(Resampler& resampler, Output& out, AVFrame* frame, bool last)
    {
        const int size = out.frameSize();
        while (resampler.available() >= size || (last && resampler.available() > 0)) {
            resampler.Pull(frame, size);
            if (m_gain != 1.0)
                Gain::Apply(frame, m_gain);
            m_written += frame->nb_samples;
            out.Write(frame);
        }
        const auto now = Clock::now();
        if (now - m_lastStats >= kStatsEvery) {
            m_lastStats = now;
            stats(out, out.size(), false);
        }
    }

    // Each on a line of its own, ahead of any stats line, and free of the markers progress is read from.
    void notes(Output& out)
    {
        for (const std::string& note : out.TakeNotes())
            std::fprintf(m_console, "%s\n", note.c_str());
    }

    void stats(Output& out, int64_t bytes, bool last)
    {
        notes(out);
        const double wall = std::chrono::duration<double>(Clock::now() - m_started).count();
        const int64_t position = m_rate > 0 ? m_written * 1000000 / m_rate : 0;
        std::fputs(ConsoleLines::Stats(bytes, position, wall, last).c_str(), m_console);
        std::fflush(m_console);
    }

    const ToolArgs::Parsed& m_args;
    std::FILE* m_console;
    Clock::time_point m_started;
    Clock::time_point m_lastStats;
    int64_t m_written = 0;
    int m_rate = 0;
    struct timespec m_inputDate
    {};
    int m_inputDateError = 0;
    double m_gain = 1.0;
};
} // namespace

int Run(const ToolArgs::Parsed& args, std::FILE* console)
{
    try {
        Job(args, console).run();
        return 0;
    } catch (const LibAv::Failure& f) {
        std::fprintf(console, "\n%s\n", f.reason.c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(console, "\n%s\n", LibAv::Reason(AVERROR(ENOMEM)).c_str());
        return 1;
    }
}

} // namespace Transcoder
