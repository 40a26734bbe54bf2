#include "encoder/loudness.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace fastencc {

namespace {

// The rough interpolator: 4x oversampling with a Hann-windowed sinc of 12 taps a phase.
// Phase 0 is the sample itself; phases 1 to 3 lie a quarter, a half and three quarters of a
// sample after it. The output runs kDelay samples behind the input.
constexpr int kTaps = 12;
constexpr int kDelay = kTaps / 2;
constexpr int kPhases = 3;

struct Interpolator
{
    // coefficient[p][j] weighs the sample j places back for phase p + 1
    std::array<std::array<float, kTaps>, kPhases> coefficient{};
    // The most the output can exceed the largest input sample around it: a stretch whose
    // samples, times this, stay under the peak found so far cannot raise it.
    float gain = 1.0f;

    Interpolator()
    {
        const double pi = std::acos(-1.0);
        for (int p = 0; p < kPhases; ++p) {
            double sum = 0.0;
            for (int j = 0; j < kTaps; ++j) {
                const double d = j - kDelay + (p + 1) / 4.0; // distance from the point wanted
                const double sinc = std::sin(pi * d) / (pi * d);
                const double window = 0.5 * (1.0 + std::cos(pi * d / kDelay));
                coefficient[static_cast<std::size_t>(p)][static_cast<std::size_t>(j)] = static_cast<float>(sinc * window);
                sum += std::abs(sinc * window);
            }
            gain = std::max(gain, static_cast<float>(sum) * 1.001f);
        }
    }
};

const Interpolator &interpolator()
{
    static const Interpolator instance;
    return instance;
}

// The fine interpolator that gives the true peak: oversampling 8 times, and to 192 kHz at
// least (12 times at 16 kHz), with a Kaiser-windowed sinc of 32 taps a phase. It reads within
// 0.05 dB of the continuous peak also where the music reaches 0.45 of the sample rate (an
// MP3's top at 32 kHz does) and the peak falls between the rough one's points. It costs several
// times the rough one, so it runs only where the rough one comes near the peak found so far.
constexpr int kFineTaps = 32;
constexpr int kFineDelay = kFineTaps / 2;
constexpr int kHistory = kFineTaps - 1; // samples kept from one batch for the next
constexpr double kKaiserBeta = 8.0;
constexpr int kMostPhases = 48;
// The most the rough interpolator reads under the fine one (1.6 dB): a stretch whose rough peak,
// raised by this, stays under the peak found so far cannot raise it.
constexpr float kRoughMargin = 1.2f;

double besselI0(double x)
{
    double sum = 1.0;
    double term = 1.0;
    for (int k = 1; k < 40; ++k) {
        term *= (x / (2.0 * k)) * (x / (2.0 * k));
        sum += term;
    }
    return sum;
}

struct FineInterpolator
{
    int phases = 0; // points between two samples
    // coefficient[p * kFineTaps + j] weighs the sample j places back for point p + 1
    std::vector<float> coefficient;

    explicit FineInterpolator(int sampleRate)
    {
        const int factor = std::clamp((192000 + std::max(sampleRate, 1) - 1) / std::max(sampleRate, 1), 8, kMostPhases + 1);
        phases = factor - 1;
        coefficient.resize(static_cast<std::size_t>(phases * kFineTaps));
        const double pi = std::acos(-1.0);
        for (int p = 0; p < phases; ++p) {
            for (int j = 0; j < kFineTaps; ++j) {
                const double d = j - kFineDelay + (p + 1.0) / factor;
                const double sinc = std::sin(pi * d) / (pi * d);
                const double x = d / kFineDelay;
                const double window = besselI0(kKaiserBeta * std::sqrt(std::max(0.0, 1.0 - x * x))) / besselI0(kKaiserBeta);
                coefficient[static_cast<std::size_t>(p * kFineTaps + j)] = static_cast<float>(sinc * window);
            }
        }
    }
};

// The largest interpolated magnitude of frames [0, count) of samples by the fine interpolator;
// samples has kHistory samples of history before samples[0].
float finePeak(const FineInterpolator &f, const float *samples, int count)
{
    float most = 0.0f;
    int i = 0;
#if defined(__SSE2__)
    const __m128 signBits = _mm_set1_ps(-0.0f);
    __m128 best = _mm_setzero_ps();
    for (; i + 4 <= count; i += 4) {
        for (int p = 0; p < f.phases; ++p) {
            const float *c = f.coefficient.data() + p * kFineTaps;
            __m128 sum = _mm_setzero_ps();
            for (int j = 0; j < kFineTaps; ++j)
                sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(c[j]), _mm_loadu_ps(samples + i - j)));
            best = _mm_max_ps(best, _mm_andnot_ps(signBits, sum));
        }
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, best);
    most = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < count; ++i) {
        for (int p = 0; p < f.phases; ++p) {
            const float *c = f.coefficient.data() + p * kFineTaps;
            float sum = 0.0f;
            for (int j = 0; j < kFineTaps; ++j)
                sum += c[j] * samples[i - j];
            most = std::max(most, std::abs(sum));
        }
    }
    return most;
}

// Frames a stretch of the peak search: the largest sample of a stretch decides whether its
// interpolated points are worth computing.
constexpr int kStretch = 64;

float largestMagnitude(const float *samples, int count)
{
    float most = 0.0f;
    int i = 0;
#if defined(__SSE2__)
    const __m128 signBits = _mm_set1_ps(-0.0f);
    __m128 best = _mm_setzero_ps();
    for (; i + 4 <= count; i += 4)
        best = _mm_max_ps(best, _mm_andnot_ps(signBits, _mm_loadu_ps(samples + i)));
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, best);
    most = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < count; ++i)
        most = std::max(most, std::abs(samples[i]));
    return most;
}

// The largest interpolated magnitude of frames [0, count) of samples, which has kTaps - 1
// samples of history before samples[0].
float interpolatedPeak(const float *samples, int count)
{
    const Interpolator &f = interpolator();
    float most = 0.0f;
    int i = 0;
#if defined(__SSE2__)
    const __m128 signBits = _mm_set1_ps(-0.0f);
    __m128 best = _mm_setzero_ps();
    for (; i + 4 <= count; i += 4) {
        for (int p = 0; p < kPhases; ++p) {
            const auto &c = f.coefficient[static_cast<std::size_t>(p)];
            __m128 sum = _mm_setzero_ps();
            for (int j = 0; j < kTaps; ++j)
                sum = _mm_add_ps(sum, _mm_mul_ps(_mm_set1_ps(c[static_cast<std::size_t>(j)]), _mm_loadu_ps(samples + i - j)));
            best = _mm_max_ps(best, _mm_andnot_ps(signBits, sum));
        }
    }
    alignas(16) float lanes[4];
    _mm_store_ps(lanes, best);
    most = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
#endif
    for (; i < count; ++i) {
        for (int p = 0; p < kPhases; ++p) {
            const auto &c = f.coefficient[static_cast<std::size_t>(p)];
            float sum = 0.0f;
            for (int j = 0; j < kTaps; ++j)
                sum += c[static_cast<std::size_t>(j)] * samples[i - j];
            most = std::max(most, std::abs(sum));
        }
    }
    return most;
}

// The K-weighting of ITU-R BS.1770 for any sample rate: a high shelf of +4 dB above about
// 1.7 kHz, then a high pass at 38 Hz, each a biquad made from its analogue prototype.
struct Biquad
{
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;
};

Biquad highShelf(double rate)
{
    const double f0 = 1681.974450955533;
    const double gainDb = 3.999843853973347;
    const double q = 0.7071752369554196;
    const double k = std::tan(std::acos(-1.0) * f0 / rate);
    const double vh = std::pow(10.0, gainDb / 20.0);
    const double vb = std::pow(vh, 0.4996667741545416);
    const double a0 = 1.0 + k / q + k * k;
    return {(vh + vb * k / q + k * k) / a0, 2.0 * (k * k - vh) / a0, (vh - vb * k / q + k * k) / a0, 2.0 * (k * k - 1.0) / a0,
            (1.0 - k / q + k * k) / a0};
}

Biquad highPass(double rate)
{
    const double f0 = 38.13547087602444;
    const double q = 0.5003270373238773;
    const double k = std::tan(std::acos(-1.0) * f0 / rate);
    const double a0 = 1.0 + k / q + k * k;
    return {1.0, -2.0, 1.0, 2.0 * (k * k - 1.0) / a0, (1.0 - k / q + k * k) / a0};
}

// Loudness of a mean square, in LUFS.
double lufsOf(double meanSquare)
{
    return -0.691 + 10.0 * std::log10(meanSquare);
}

std::string levelText(double linearOrLufs, bool linear)
{
    const double value = linear ? (linearOrLufs > 0.0 ? 20.0 * std::log10(linearOrLufs) : -HUGE_VAL) : linearOrLufs;
    if (!std::isfinite(value))
        return "-inf";
    char text[32];
    std::snprintf(text, sizeof text, "%.2f", value);
    return text;
}

} // namespace

std::string loudnessLine(const Loudness &loudness)
{
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%.2f", loudness.seconds);
    return "loudness " + levelText(loudness.lufs, false) + " " + levelText(loudness.truePeak, true) + " " + seconds;
}

std::string blocksLine(const Loudness &loudness)
{
    std::string line = "loudness-blocks";
    char separator = ' ';
    for (const auto &[bin, count] : loudness.blocks) {
        line += separator + std::to_string(bin) + ':' + std::to_string(count);
        separator = ',';
    }
    return line;
}

// The integrated loudness: K-weighted mean squares summed over the channels for every 100 ms
// step; blocks of four steps (400 ms, overlapping by three quarters) are gated at -70 LUFS and
// then at 10 LU under the loudness of the blocks that passed.
struct LoudnessMeter::State
{
    Biquad shelf;
    Biquad pass;
    struct Memory
    {
        double x1 = 0, x2 = 0, y1 = 0, y2 = 0; // the shelf's
        double z1 = 0, z2 = 0;                 // the high pass's output (its input is the shelf's)
    };
    std::array<Memory, 2> memory{};
    long stepFrames = 1;
    long inStep = 0;    // frames of the current step so far
    double stepSum = 0; // their weighted squares
    std::vector<double> steps;
    FineInterpolator fine;

    explicit State(int sampleRate)
        : fine(sampleRate)
    {
    }

    // Filters count samples of one channel and returns the sum of their weighted squares.
    double weigh(Memory &m, const float *samples, int count) const
    {
        const Biquad &s = shelf;
        const Biquad &p = pass;
        double x1 = m.x1, x2 = m.x2, y1 = m.y1, y2 = m.y2, z1 = m.z1, z2 = m.z2;
        double sum = 0.0;
        for (int i = 0; i < count; ++i) {
            const double x = samples[i];
            const double y = s.b0 * x + s.b1 * x1 + s.b2 * x2 - s.a1 * y1 - s.a2 * y2;
            const double z = y - 2.0 * y1 + y2 - p.a1 * z1 - p.a2 * z2;
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            z2 = z1;
            z1 = z;
            sum += z * z;
        }
        m = {x1, x2, y1, y2, z1, z2};
        return sum;
    }

    // The same for two channels at once, each in a lane of its own: the same operations in the
    // same order as weigh() on each, so the same sums, in half the time. Adds the left
    // channel's sum, then the right's, to stepSum.
    void weighPair(const float *left, const float *right, int count)
    {
#if defined(__SSE2__)
        const Biquad &s = shelf;
        const Biquad &p = pass;
        Memory &l = memory[0];
        Memory &r = memory[1];
        __m128d x1 = _mm_set_pd(r.x1, l.x1), x2 = _mm_set_pd(r.x2, l.x2), y1 = _mm_set_pd(r.y1, l.y1),
                y2 = _mm_set_pd(r.y2, l.y2), z1 = _mm_set_pd(r.z1, l.z1), z2 = _mm_set_pd(r.z2, l.z2);
        const __m128d b0 = _mm_set1_pd(s.b0), b1 = _mm_set1_pd(s.b1), b2 = _mm_set1_pd(s.b2), a1 = _mm_set1_pd(s.a1),
                      a2 = _mm_set1_pd(s.a2), pa1 = _mm_set1_pd(p.a1), pa2 = _mm_set1_pd(p.a2), two = _mm_set1_pd(2.0);
        __m128d sum = _mm_setzero_pd();
        for (int i = 0; i < count; ++i) {
            const __m128d x = _mm_set_pd(static_cast<double>(right[i]), static_cast<double>(left[i]));
            const __m128d y = _mm_sub_pd(
                _mm_sub_pd(_mm_add_pd(_mm_add_pd(_mm_mul_pd(b0, x), _mm_mul_pd(b1, x1)), _mm_mul_pd(b2, x2)), _mm_mul_pd(a1, y1)),
                _mm_mul_pd(a2, y2));
            const __m128d z = _mm_sub_pd(_mm_sub_pd(_mm_add_pd(_mm_sub_pd(y, _mm_mul_pd(two, y1)), y2), _mm_mul_pd(pa1, z1)),
                                         _mm_mul_pd(pa2, z2));
            x2 = x1;
            x1 = x;
            y2 = y1;
            y1 = y;
            z2 = z1;
            z1 = z;
            sum = _mm_add_pd(sum, _mm_mul_pd(z, z));
        }
        alignas(16) double lanes[2][6];
        _mm_store_pd(lanes[0], x1);
        _mm_store_pd(lanes[0] + 2, x2);
        _mm_store_pd(lanes[0] + 4, y1);
        _mm_store_pd(lanes[1], y2);
        _mm_store_pd(lanes[1] + 2, z1);
        _mm_store_pd(lanes[1] + 4, z2);
        l = {lanes[0][0], lanes[0][2], lanes[0][4], lanes[1][0], lanes[1][2], lanes[1][4]};
        r = {lanes[0][1], lanes[0][3], lanes[0][5], lanes[1][1], lanes[1][3], lanes[1][5]};
        alignas(16) double sums[2];
        _mm_store_pd(sums, sum);
        stepSum += sums[0];
        stepSum += sums[1];
#else
        stepSum += weigh(memory[0], left, count);
        stepSum += weigh(memory[1], right, count);
#endif
    }
};

LoudnessMeter::LoudnessMeter(int channels, int sampleRate)
    : m_state(std::make_unique<State>(sampleRate))
    , m_channels(std::clamp(channels, 1, 2))
    , m_sampleRate(sampleRate)
    , m_peaks(static_cast<std::size_t>(m_channels))
{
    const double rate = std::max(sampleRate, 1);
    m_state->shelf = highShelf(rate);
    m_state->pass = highPass(rate);
    m_state->stepFrames = std::max(1L, std::lround(rate / 10.0));
    for (Channel &channel : m_peaks)
        channel.buffer.assign(kHistory, 0.0f);
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::addPeak(Channel &channel, const float *samples, int frames)
{
    // The history of the last batch, then this one; the peak is sought stretch by stretch: the
    // rough interpolator where the samples could reach the peak found so far, the fine one
    // where the rough one comes near it.
    std::vector<float> &buffer = channel.buffer;
    buffer.resize(kHistory);
    buffer.insert(buffer.end(), samples, samples + frames);
    const float gain = interpolator().gain;
    for (int at = 0; at < frames; at += kStretch) {
        const int count = std::min(kStretch, frames - at);
        const float *stretch = buffer.data() + kHistory + at;
        const float nearby = largestMagnitude(stretch - kHistory, count + kHistory);
        // The sample peak, always exact.
        channel.peak = std::max(channel.peak, largestMagnitude(stretch, count));
        // Both interpolators look at the same points, kFineDelay samples back.
        if (nearby * gain * kRoughMargin > channel.peak
            && interpolatedPeak(stretch - (kFineDelay - kDelay), count) * kRoughMargin > channel.peak)
            channel.peak = std::max(channel.peak, finePeak(m_state->fine, stretch, count));
    }
    buffer.erase(buffer.begin(), buffer.end() - kHistory);
}

void LoudnessMeter::add(const float *const *planes, int frames)
{
    if (frames <= 0)
        return;
    m_frames += frames;
    for (int c = 0; c < m_channels; ++c)
        addPeak(m_peaks[static_cast<std::size_t>(c)], planes[c], frames);
    // Step by step: a step's squares are summed over its channels, then kept.
    State &st = *m_state;
    for (int at = 0; at < frames;) {
        const int count = static_cast<int>(std::min<long>(frames - at, st.stepFrames - st.inStep));
        if (m_channels == 2) {
            st.weighPair(planes[0] + at, planes[1] + at, count);
        } else {
            st.stepSum += st.weigh(st.memory[0], planes[0] + at, count);
        }
        at += count;
        st.inStep += count;
        if (st.inStep == st.stepFrames) {
            st.steps.push_back(st.stepSum);
            st.stepSum = 0;
            st.inStep = 0;
        }
    }
}

Loudness LoudnessMeter::result() const
{
    Loudness out;
    out.lufs = -HUGE_VAL;
    const std::vector<double> &steps = m_state->steps;
    const double blockFrames = 4.0 * static_cast<double>(m_state->stepFrames);
    std::vector<double> blocks; // mean squares of the blocks above the absolute gate
    for (std::size_t i = 0; i + 4 <= steps.size(); ++i) {
        const double meanSquare = (steps[i] + steps[i + 1] + steps[i + 2] + steps[i + 3]) / blockFrames;
        if (meanSquare > 0.0 && lufsOf(meanSquare) > -70.0) {
            blocks.push_back(meanSquare);
            const int bin = static_cast<int>(std::floor((lufsOf(meanSquare) + 70.0) * 10.0));
            ++out.blocks[std::min(bin, 900)];
        }
    }
    if (!blocks.empty()) {
        double sum = 0.0;
        for (double b : blocks)
            sum += b;
        const double gate = lufsOf(sum / static_cast<double>(blocks.size())) - 10.0;
        double gated = 0.0;
        std::size_t count = 0;
        for (double b : blocks) {
            if (lufsOf(b) > gate) {
                gated += b;
                ++count;
            }
        }
        if (count > 0)
            out.lufs = lufsOf(gated / static_cast<double>(count));
    }
    for (const Channel &channel : m_peaks)
        out.truePeak = std::max(out.truePeak, static_cast<double>(channel.peak));
    out.seconds = m_sampleRate > 0 ? static_cast<double>(m_frames) / m_sampleRate : 0.0;
    return out;
}

} // namespace fastencc
