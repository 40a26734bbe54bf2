#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace fastencc {

// What a measurement found: EBU R128 integrated loudness (LUFS; -infinity for silence or audio
// shorter than one 400 ms block), true peak (linear, 1.0 = full scale; oversampled to 192 kHz or more) and the
// length measured.
struct Loudness
{
    double lufs = 0.0;
    double truePeak = 0.0;
    double seconds = 0.0;
    // The 400 ms blocks above the absolute gate, counted by their loudness in bins of 0.1 LU from
    // -70 LUFS (bin → blocks): what measuring several files as one programme (an album) needs.
    std::map<int, std::uint32_t> blocks;
};

// The line fastencc prints for a measurement: "loudness LUFS DBTP SECONDS", with two decimals
// ("loudness -14.45 -0.52 240.02"); silence prints "-inf" for both levels.
std::string loudnessLine(const Loudness &loudness);
// The line of its blocks, printed before it: "loudness-blocks BIN:COUNT,BIN:COUNT,..." (nothing
// after the word for silence).
std::string blocksLine(const Loudness &loudness);

// Measures planar float audio handed over in batches, as ITU-R BS.1770 / EBU R128 define it:
// integrated loudness (K-weighted, gated) and true peak (oversampled to 192 kHz or more). Written here rather
// than taken from libebur128, which costs four times as much for the same figures (the tests
// hold the two side by side): measuring every output has to stay a small part of encoding it.
// The true peak's interpolator is vectorised and skips the stretches whose samples cannot reach
// the peak found so far. One thread at a time.
class LoudnessMeter final
{
public:
    LoudnessMeter(int channels, int sampleRate);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter &) = delete;
    LoudnessMeter &operator=(const LoudnessMeter &) = delete;

    void add(const float *const *planes, int frames);
    Loudness result() const;

private:
    struct Channel
    {
        std::vector<float> buffer; // the interpolator's history, then the batch
        float peak = 0.0f;
    };
    void addPeak(Channel &channel, const float *samples, int frames);

    struct State;
    std::unique_ptr<State> m_state;
    int m_channels;
    int m_sampleRate;
    std::int64_t m_frames = 0;
    std::vector<Channel> m_peaks;
    std::vector<float> m_interleaved;
};

} // namespace fastencc
