// Our true-peak meter against libebur128's own true peak, which it replaces: signals whose peaks lie
// between the samples, every rate band, channel counts, block splits.
#include "TruePeak.h"

#include <algorithm>
#include <cmath>
#include <ebur128.h>
#include <gtest/gtest.h>
#include <random>

namespace {

// Interleaved frames of a number of channels.
struct Signal
{
    int channels = 2;
    int rate = 44100;
    std::vector<float> samples;
    size_t frames() const { return samples.size() / size_t(channels); }
};

// Each channel its own generator of a sample from its index.
template <typename Generator> Signal make(int channels, int rate, double seconds, Generator sample)
{
    Signal s{channels, rate, {}};
    const size_t frames = size_t(seconds * rate);
    s.samples.resize(frames * size_t(channels));
    for (size_t i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c)
            s.samples[i * size_t(channels) + size_t(c)] = float(sample(c, i));
    return s;
}

Signal white(int channels, int rate, double seconds, double level, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<double> uniform(-level, level);
    return make(channels, rate, seconds, [&](int, size_t) { return uniform(random); });
}

// White noise through a filter falling 3 dB an octave (three poles), per channel.
Signal pink(int channels, int rate, double seconds, double level, unsigned seed)
{
    std::mt19937 random(seed);
    std::normal_distribution<double> gauss(0, 1);
    std::vector<double> b(size_t(channels) * 3, 0.0);
    return make(channels, rate, seconds, [&](int c, size_t) {
        const double w = gauss(random);
        double* p = &b[size_t(c) * 3];
        p[0] = 0.99765 * p[0] + w * 0.0990460;
        p[1] = 0.96300 * p[1] + w * 0.2965164;
        p[2] = 0.57000 * p[2] + w * 1.0526913;
        return std::clamp(level * (p[0] + p[1] + p[2] + w * 0.1848) / 4, -1.0, 1.0);
    });
}

// libebur128's true peak of each channel, the signal given in one piece.
std::vector<double> libraryPeaks(const Signal& s)
{
    ebur128_state* st = ebur128_init(unsigned(s.channels), unsigned(s.rate), EBUR128_MODE_TRUE_PEAK);
    EXPECT_NE(st, nullptr);
    EXPECT_EQ(ebur128_add_frames_float(st, s.samples.data(), s.frames()), EBUR128_SUCCESS);
    std::vector<double> peaks(size_t(s.channels));
    for (int c = 0; c < s.channels; ++c)
        EXPECT_EQ(ebur128_true_peak(st, unsigned(c), &peaks[size_t(c)]), EBUR128_SUCCESS);
    ebur128_destroy(&st);
    return peaks;
}

// Ours, fed in pieces of the sizes given in turn.
std::vector<double> ourPeaks(const Signal& s, const std::vector<size_t>& pieces)
{
    TruePeak meter(s.channels, s.rate);
    size_t at = 0;
    for (size_t k = 0; at < s.frames(); ++k) {
        const size_t n = std::min(pieces[k % pieces.size()], s.frames() - at);
        meter.Add(s.samples.data() + at * size_t(s.channels), int64_t(n));
        at += n;
    }
    std::vector<double> peaks;
    for (int c = 0; c < s.channels; ++c)
        peaks.push_back(meter.Of(c));
    EXPECT_DOUBLE_EQ(meter.Max(), *std::max_element(peaks.begin(), peaks.end()));
    return peaks;
}

double samplePeak(const Signal& s, int channel)
{
    double peak = 0;
    for (size_t i = 0; i < s.frames(); ++i)
        peak = std::max(peak, double(std::fabs(s.samples[i * size_t(s.channels) + size_t(channel)])));
    return peak;
}

void expectLibraryFigures(const Signal& s, const std::string& what, const std::vector<size_t>& pieces = {4096})
{
    const std::vector<double> theirs = libraryPeaks(s);
    const std::vector<double> ours = ourPeaks(s, pieces);
    for (int c = 0; c < s.channels; ++c)
        EXPECT_NEAR(ours[size_t(c)], theirs[size_t(c)], 1e-6 * theirs[size_t(c)]) << what << ", channel " << c;
}

} // namespace

TEST(TruePeak, AgreesWithLibebur128WherePeaksFallBetweenSamples)
{
    expectLibraryFigures(white(2, 44100, 5, 0.9, 1), "white noise");
    expectLibraryFigures(pink(2, 44100, 5, 0.5, 2), "pink noise");

    // A quarter of the rate at 45 degrees: every sample at 0.707 of the wave's peak, which lies halfway
    // between two samples.
    const double amplitude = 0.5;
    const Signal quarter =
        make(2, 44100, 2, [&](int, size_t i) { return amplitude * std::sin(M_PI / 2 * double(i) + M_PI / 4); });
    expectLibraryFigures(quarter, "sine at a quarter of the rate");
    const double peak = ourPeaks(quarter, {4096})[0];
    EXPECT_NEAR(samplePeak(quarter, 0), amplitude * M_SQRT1_2, 1e-6);
    EXPECT_NEAR(peak, amplitude, 0.02 * amplitude);

    // A full-scale square wave rings past full scale between its samples.
    const Signal square = make(2, 44100, 2, [](int c, size_t i) { return (i / size_t(50 + c * 7)) % 2 ? 1.0 : -1.0; });
    expectLibraryFigures(square, "square wave");
    EXPECT_GT(ourPeaks(square, {4096})[0], 1.05);
}

TEST(TruePeak, AgreesWithLibebur128AtEachRateAndChannelCount)
{
    expectLibraryFigures(pink(1, 44100, 3, 0.6, 3), "mono");
    expectLibraryFigures(white(1, 22050, 3, 0.6, 4), "mono at 22050 Hz");
    // Six channels of different levels, so a channel mixed up with another shows.
    Signal six = pink(6, 48000, 3, 0.3, 5);
    for (size_t i = 0; i < six.samples.size(); ++i)
        six.samples[i] *= float(1 + i % 6) / 6;
    expectLibraryFigures(six, "six channels at 48 kHz");
    EXPECT_EQ(TruePeak::FactorAt(95999), 4);

    // Twice from 96 kHz: a quarter of the rate at 45 degrees peaks halfway between samples, where the
    // one interpolated sample lies.
    EXPECT_EQ(TruePeak::FactorAt(96000), 2);
    const Signal fast =
        make(2, 96000, 2, [](int c, size_t i) { return (0.7 - 0.1 * c) * std::sin(M_PI / 2 * double(i) + M_PI / 4); });
    expectLibraryFigures(fast, "a quarter of 96 kHz");
    EXPECT_NEAR(ourPeaks(fast, {4096})[0], 0.7, 0.02);
    expectLibraryFigures(pink(2, 176400, 2, 0.5, 6), "176.4 kHz");

    // From 192 kHz the samples are not interpolated: the true peak is the sample peak.
    EXPECT_EQ(TruePeak::FactorAt(192000), 1);
    const Signal sampled = white(2, 192000, 1, 0.8, 7);
    expectLibraryFigures(sampled, "192 kHz");
    EXPECT_EQ(ourPeaks(sampled, {4096})[1], samplePeak(sampled, 1));
}

TEST(TruePeak, HowTheSamplesArriveDoesNotChangeTheFigure)
{
    const Signal s = pink(2, 44100, 1.3, 0.8, 8);
    const std::vector<double> whole = ourPeaks(s, {s.frames()});
    for (const std::vector<size_t>& pieces : std::vector<std::vector<size_t>>{
             {1}, {7, 255, 257, 1}, {TruePeak::kBlock}, {TruePeak::kBlock - 1}, {3001, 13}})
        EXPECT_EQ(ourPeaks(s, pieces), whole) << "pieces starting " << pieces[0];
    expectLibraryFigures(s, "one frame at a time", {1});

    // Asked halfway through a block, the figure is the one of the samples so far.
    Signal head = s;
    head.samples.resize(2 * (3 * TruePeak::kBlock + 37));
    for (float& v : head.samples)
        v /= 2;
    TruePeak meter(2, 44100);
    meter.Add(head.samples.data(), int64_t(head.frames()));
    const std::vector<double> theirs = libraryPeaks(head);
    EXPECT_NEAR(meter.Of(0), theirs[0], 1e-6 * theirs[0]);
    ASSERT_LT(theirs[1], 0.9);
    // A peak in the last sample given, which the filter has not reached yet, counts.
    const float last[] = {0.0f, 0.99f};
    meter.Add(last, 1);
    head.samples.insert(head.samples.end(), last, last + 2);
    EXPECT_NEAR(meter.Of(1), libraryPeaks(head)[1], 1e-6);
    EXPECT_EQ(meter.Of(1), double(last[1]));

    TruePeak silent(2, 44100);
    EXPECT_EQ(silent.Max(), 0.0);
}
