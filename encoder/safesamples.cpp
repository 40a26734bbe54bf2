#include "encoder/safesamples.h"

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

extern "C" {
#include <libavutil/frame.h>
#include <libavutil/samplefmt.h>
}

namespace fastencc {

namespace {

// Any sample type, one at a time (double frames are rare).
template <typename Sample>
void makeSafeEach(Sample *samples, std::size_t count)
{
    for (std::size_t i = 0; i < count; ++i) {
        const Sample x = samples[i];
        const Sample number = x == x ? x : Sample(0); // false for NaN only
        samples[i] = std::min(std::max(number, Sample(-1)), Sample(1));
    }
}

} // namespace

void makeSafe(float *samples, std::size_t count)
{
    std::size_t i = 0;
#if defined(__SSE2__)
    const __m128 low = _mm_set1_ps(-1.0f);
    const __m128 high = _mm_set1_ps(1.0f);
    for (; i + 4 <= count; i += 4) {
        __m128 x = _mm_loadu_ps(samples + i);
        x = _mm_and_ps(x, _mm_cmpord_ps(x, x)); // NaN lanes become +0
        _mm_storeu_ps(samples + i, _mm_min_ps(_mm_max_ps(x, low), high));
    }
#endif
    for (; i < count; ++i) {
        const float x = samples[i];
        samples[i] = std::min(std::max(x == x ? x : 0.0f, -1.0f), 1.0f);
    }
}

bool makeFrameSafe(AVFrame &frame)
{
    const auto format = static_cast<AVSampleFormat>(frame.format);
    const AVSampleFormat packed = av_get_packed_sample_fmt(format);
    if (packed != AV_SAMPLE_FMT_FLT && packed != AV_SAMPLE_FMT_DBL)
        return true;
    if (av_frame_make_writable(&frame) < 0)
        return false;
    const bool planar = av_sample_fmt_is_planar(format);
    const int channels = frame.ch_layout.nb_channels;
    const auto perPlane = static_cast<std::size_t>(frame.nb_samples) * (planar ? 1 : channels);
    for (int p = 0; p < (planar ? channels : 1); ++p) {
        uint8_t *data = frame.extended_data[p];
        if (packed == AV_SAMPLE_FMT_FLT)
            makeSafe(reinterpret_cast<float *>(data), perPlane);
        else
            makeSafeEach(reinterpret_cast<double *>(data), perPlane);
    }
    return true;
}

} // namespace fastencc
