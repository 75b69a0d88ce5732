#pragma once

#include "LibAv.h"

#include <optional>
#include <string>

// A gain applied to the samples on their way to the encoder: a plain multiplication, no limiter and
// no compression. The program lowers a gain that would push the true peak past its ceiling before it
// asks for it; integer samples that would still pass full scale are clipped there, float samples pass
// to the encoder as they are.
namespace Gain {

// The gain in dB of a filter argument "volume=-6.52dB", the one filter this tool applies itself;
// nothing for any other text.
std::optional<double> FromFilter(const std::string& filter);

// Multiplies every sample of the frame, of any sample format, by factor.
void Apply(AVFrame* frame, double factor);

} // namespace Gain
