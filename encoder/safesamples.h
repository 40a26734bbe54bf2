#pragma once

#include <cstddef>

struct AVFrame;

namespace fastencc {

// Makes samples safe for LAME, whose psychoacoustic model aborts on a value that is not
// finite: NaN becomes silence, and everything beyond full scale, infinities included, is
// clipped to it. Damaged float files hold such values (broken recorders, bad conversions).
// Four samples at a time without a branch: every batch passes here.
void makeSafe(float *samples, std::size_t count);

// The decoded samples of a floating-point frame made safe in place, before the resampler
// smears a NaN or an infinity over its neighbours. Integer samples are always in range. False
// when the frame cannot be made writable.
bool makeFrameSafe(AVFrame &frame);

} // namespace fastencc
