#pragma once

#include "AudioInput.h"
#include "SampleRange.h"

// The decoded samples of a window of the input, without decoding what lies before it where that can be
// avoided: an album's last track would otherwise decode the whole image first. It seeks to the window's
// start less a pre-roll (none for PCM and the lossless codecs whose frames stand alone, ten frames for
// MP3 and other lossy codecs, whose first frames after a jump are not yet the full decode's), checks that
// the first frame it lands on starts at or before the window (else it decodes from the beginning), and
// trims to the sample. A position is counted from the first sample a full decode gives, whatever
// timestamps the container starts at or the decoder's priming samples it drops.
class RangeReader
{
public:
    RangeReader(AudioInput& input, SampleRange::Window window);

    // The next decoded frame that holds any of the window: its samples [from, from + count) are in it.
    // False once the window or the input is over.
    bool Next(AVFrame* frame, int& from, int& count);

    // True when the input ended at or before the window's start.
    bool endedBeforeStart() const { return m_ended && m_position <= m_window.start; }
    // True when reading began with a jump into the file (for the tool's own tests and benchmark).
    bool seeked() const { return m_seeked; }

private:
    void seekNearStart();
    void restart();
    int64_t preRoll() const;
    int64_t positionOf(const AVFrame* frame) const;

    AudioInput& m_input;
    SampleRange::Window m_window;
    int64_t m_position = 0;            // of the next sample decoded
    int64_t m_origin = AV_NOPTS_VALUE; // the first frame's timestamp, in the stream's time base
    bool m_started = false;
    bool m_seeked = false;
    bool m_ended = false;
    bool m_hasPending = false;
    LibAv::FramePtr m_pending; // a frame decoded ahead, not yet handed out
};
