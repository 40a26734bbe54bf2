#pragma once

// The gains -gain takes, in dB either way: beyond this is no levelling but a mistake. Whatever
// runs fastencc keeps its gains within the same range (the program's levelling clamps to it).
namespace fastencc {
inline constexpr double kMaxGainDb = 40.0;
} // namespace fastencc
