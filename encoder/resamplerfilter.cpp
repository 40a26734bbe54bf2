#include "encoder/resamplerfilter.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace fastencc {

namespace {

// The polyphase filter a fall in rate takes where it is short (see polyphaseFilter()): its
// stopband's depth, and the most taps it may have before the SoX resampler costs less.
constexpr double kStopbandDb = 100.0;
constexpr double kMostPolyphaseTaps = 128.0;
// The most phases libswresample keeps exactly; a ratio of rates that needs more goes to the SoX
// resampler.
constexpr int kMostPhases = 1024;

} // namespace

std::optional<PolyphaseFilter> polyphaseFilter(int from, int to, double passband, double stopband)
{
    if (to <= 0 || from <= to || to / std::gcd(from, to) > kMostPhases)
        return std::nullopt;
    // Above the old Nyquist frequency there is nothing to stop.
    const double stop = std::min(stopband, static_cast<double>(from) / to);
    const double widthHz = (stop - passband) * to / 2.0;
    if (widthHz <= 0.0)
        return std::nullopt;
    // Kaiser's estimate of the taps (at the old rate) for this depth over this band.
    const double taps = (kStopbandDb - 7.95) * from / (14.36 * widthHz);
    if (taps > kMostPolyphaseTaps)
        return std::nullopt;
    const double cutoff = (passband + stop) / 2.0;
    const double factor = std::min(1.0, cutoff * to / from);
    return PolyphaseFilter{cutoff, static_cast<int>(std::ceil(taps * factor)), 0.1102 * (kStopbandDb - 8.7)};
}

} // namespace fastencc
