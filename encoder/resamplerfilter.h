#pragma once

#include <optional>

namespace fastencc {

// libswresample's polyphase filter (a Kaiser-windowed sinc, every phase precomputed, its inner
// product vectorised) for a fall in rate from `from` to `to` Hz, when its passband ends at
// passband and its stopband may begin at stopband (both fractions of the new Nyquist
// frequency), and when that filter is short: where the band between them is wide, it costs a
// fraction of the SoX resampler, whose stopband always begins at the new Nyquist frequency.
struct PolyphaseFilter
{
    double cutoff = 0.0; // the middle of the transition band, as libswresample's "cutoff" takes it
    int size = 0;        // libswresample's "filter_size": taps at the new rate
    double beta = 0.0;   // the Kaiser window's
};

std::optional<PolyphaseFilter> polyphaseFilter(int from, int to, double passband, double stopband);

} // namespace fastencc
