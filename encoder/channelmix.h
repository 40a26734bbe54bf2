#pragma once

#include <vector>

struct AVChannelLayout;

namespace fastencc {

// A downmix of any number of channels to one or two, for layouts the resampler has no matrix
// for (many channels, or channels whose places are not known): row o holds the gain of every
// input channel in output channel o. In stereo, a channel goes to its side; where the places are
// not known, channels pair up left and right in order, as WAV files list them. A channel of
// neither side goes into both at half the gain. Every row adds up to one, so channels at full
// scale never sum beyond it.
std::vector<double> downmixMatrix(const AVChannelLayout &in, int outChannels);

} // namespace fastencc
