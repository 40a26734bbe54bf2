#pragma once

#include <memory>
#include <string>

#include "encoder/status.h"

namespace fastencc {

// Receives the decoded, converted audio and the progress of a decode run.
class DecodeListener
{
public:
    virtual ~DecodeListener() = default;
    // planes holds one pointer per output channel to frames float samples, each finite and
    // within -1..1 whatever the input held, valid only during the call. A failed status ends the run with that status.
    virtual Status samples(const float *const *planes, int frames) = 0;
    // Called when the whole-number percentage of the input read so far grows.
    virtual void progress(int percent) = 0;
};

// Reads the first audio stream of any file FFmpeg can demux and decode, and converts it with
// libswresample to planar float at the wanted rate and channel count (downmixing without
// clipping). Other streams, such as cover art, are skipped unread. All FFmpeg use is inside
// this class; memory stays the same whatever the input's length.
class AudioDecoder final
{
public:
    // The most frames one DecodeListener::samples() call carries.
    static constexpr int kMaxBatchFrames = 16384;

    AudioDecoder();
    ~AudioDecoder();
    AudioDecoder(const AudioDecoder &) = delete;
    AudioDecoder &operator=(const AudioDecoder &) = delete;

    // Opens the file and its decoder. Fails with ExitCode::BadInput when the file cannot be
    // read or holds no decodable audio stream.
    Status open(const std::string &path);
    int sourceSampleRate() const;
    int sourceChannels() const;
    // Whether the file is a plain MP3 file: MPEG layer III audio in the MP3 container (by its
    // content, whatever its name), so its frames can be copied as they are.
    bool isMp3File() const;
    // Whether the source's samples hold more than 16 bits (24- and 32-bit integers, floats) and
    // are no lossy codec's output, so that rounding them to 16 bits would lose detail.
    bool deeperThan16Bits() const;

    // Multiplies every sample by gain before the listener gets it (clipped to full scale, like
    // everything the listener gets); 1 by default.
    void setGain(float gain);

    // Where the resampler's passband ends, as a fraction of the new Nyquist frequency (0.5 to
    // 0.97, the default): just above the encoder's own low pass, the filter is shorter and as
    // deep, its stopband still starting at the new Nyquist frequency. Where the encoder removes
    // everything above removedAbove (a fraction of the new Nyquist frequency too), what folds
    // back above it is removed as well: the stopband may then start as far above the Nyquist
    // frequency as removedAbove lies below it, and a short polyphase filter does the work.
    void setPassband(double fraction, double removedAbove = 1.0);

    // Decodes to the end, handing the audio on in batches of several thousand samples.
    Status run(int sampleRate, int channels, DecodeListener &listener);

private:
    struct State;
    std::unique_ptr<State> m_state;
};

} // namespace fastencc
