#pragma once

#include "LibAv.h"
#include "Resampler.h"

#include <cstdint>
#include <string>
#include <vector>

// Where converted audio goes: an encoder and the file it writes (a part file until Finish).
class Output
{
public:
    virtual ~Output() = default;

    // The samples it takes.
    virtual const Resampler::Format& format() const = 0;
    // How many samples each frame must hold (the last one may hold fewer).
    virtual int frameSize() const = 0;
    // Encodes and writes one frame of format() samples. Throws LibAv::Failure.
    virtual void Write(AVFrame* frame) = 0;
    // Drains the encoder and completes the file. Throws LibAv::Failure.
    virtual void Finish() = 0;
    // Bytes written so far; after Finish, the length of the file as written.
    virtual int64_t size() const = 0;
    // Reads back the file Finish completed at path and throws LibAv::Failure where it is not what was
    // meant to be written, beyond its length, which the caller checks.
    virtual void Check(const std::string& /*path*/) const {}
    // Lines for the console about what the file gets that differs from what was asked (a rate or bit
    // rate the encoder cannot take), each once; the file still converts.
    virtual std::vector<std::string> TakeNotes() { return {}; }
};
