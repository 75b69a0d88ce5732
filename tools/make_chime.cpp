// Writes the end-of-batch reminder: a short, soft three-note chime (C6, E6, G6, each a bell-like tone
// that rings out), as 16-bit mono PCM WAV at 44.1 kHz. The same bytes on every run and every machine.
// Usage: make_chime OUTPUT.wav
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {
void put16(std::FILE* f, uint16_t v)
{
    std::fputc(v & 0xff, f);
    std::fputc(v >> 8, f);
}
void put32(std::FILE* f, uint32_t v)
{
    put16(f, v & 0xffff);
    put16(f, v >> 16);
}
} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_chime OUTPUT.wav\n");
        return 2;
    }
    const int rate = 44100;
    const double length = 1.4;
    const int samples = int(rate * length);
    std::vector<double> mix(samples, 0.0);
    const double pi = 3.14159265358979323846;
    const struct
    {
        double start;
        double frequency;
    } notes[] = {{0.00, 1046.50}, {0.13, 1318.51}, {0.26, 1567.98}};
    for (const auto& note : notes) {
        const int first = int(note.start * rate);
        for (int i = first; i < samples; ++i) {
            const double t = double(i - first) / rate;
            const double attack = std::min(1.0, t / 0.004);
            const double ring = std::exp(-t * 4.2);
            // A bell: the fundamental with a quieter, faster-fading partial above it.
            const double tone = std::sin(2 * pi * note.frequency * t) +
                                0.28 * std::exp(-t * 6.0) * std::sin(2 * pi * note.frequency * 2.76 * t);
            mix[i] += 0.26 * attack * ring * tone;
        }
    }
    // Fade the tail so the sound ends in silence, not with a click.
    const int fade = rate / 10;
    for (int i = 0; i < fade; ++i)
        mix[samples - 1 - i] *= double(i) / fade;

    std::FILE* f = std::fopen(argv[1], "wb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    const uint32_t dataBytes = uint32_t(samples) * 2;
    std::fwrite("RIFF", 1, 4, f);
    put32(f, 36 + dataBytes);
    std::fwrite("WAVEfmt ", 1, 8, f);
    put32(f, 16);
    put16(f, 1); // PCM
    put16(f, 1); // mono
    put32(f, rate);
    put32(f, rate * 2);
    put16(f, 2);
    put16(f, 16);
    std::fwrite("data", 1, 4, f);
    put32(f, dataBytes);
    for (double s : mix) {
        const double clipped = std::max(-1.0, std::min(1.0, s));
        put16(f, uint16_t(int16_t(std::lround(clipped * 32000))));
    }
    return std::fclose(f) == 0 ? 0 : 1;
}
