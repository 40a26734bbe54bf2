#include "encoder/pieceencoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include <malloc.h>
#include <sched.h>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "encoder/audiodecoder.h"
#include "encoder/framejoin.h"
#include "encoder/infoframe.h"
#include "encoder/interrupt.h"
#include "encoder/mp3copy.h"
#include "encoder/mp3encoder.h"
#include "encoder/outputfile.h"

namespace fastencc {

namespace {

// The layout's defaults: pieces long enough that the frames encoded twice around each join
// (the lead, the join window and the frames that settle it: under 4% of 600) cost little, short
// enough that a song gives every core several pieces. The lead covers the analysis filter bank,
// the transform's overlap and the psychoacoustic model's memory. A piece is a number of frames,
// whatever the source's depth or the number of workers: the pieces, and so the bytes of the
// output, are the same on every machine and in every mode.
// The input the pieces in flight hold, at most, per worker (4.5 MB); with 600 frames, a stereo
// piece of 24-bit samples takes 4.3 MB, so only longer pieces ever have fewer in flight than
// workers. A piece's pages are taken as its input comes.
constexpr std::size_t kBudgetPerWorker = 9u << 19;
// The most workers encodeInPieces() is given (availableCores()).
constexpr int kMaxWorkers = 3;
// Input beyond the frames where a join is sought, so that LAME has put all of them out.
constexpr long kSettleFrames = 3;
// LAME encodes a piece in calls of at most this many samples.
constexpr long kCallFrames = 8192;

// Audio waiting to be encoded is held as 16-bit samples where the source has no more: half the
// memory of floats. A 16-bit source loses nothing (x * 32768 is exact); resampled audio is
// rounded at -98 dB, far below what the MP3 keeps. A deeper source (24-bit, float) is held on
// the 24-bit grid, in three bytes: rounded at -146 dB, a 24-bit source's own precision, its
// quietest detail reaches LAME as it would in one encoder, in three quarters of the memory
// of floats.
struct Sample24
{
    std::array<unsigned char, 3> bytes; // little-endian, full scale 2^23

    float value() const
    {
        // The top byte shifted into place and back carries the sign.
        const auto raw = static_cast<std::int32_t>(static_cast<std::uint32_t>(bytes[0]) << 8
                                                   | static_cast<std::uint32_t>(bytes[1]) << 16
                                                   | static_cast<std::uint32_t>(bytes[2]) << 24);
        return static_cast<float>(raw >> 8) * (1.0f / 8388608.0f);
    }
};

// Samples within -1..1 rounded to the nearest 16-bit value (ties to even), full scale clipped
// to 32767.
void storeSamples(std::int16_t *to, const float *from, long frames)
{
    long i = 0;
#if defined(__SSE2__)
    // The conversion rounds as lrint() does (to nearest, ties to even), and the packing
    // saturates at 32767 as the min() below does: the same numbers, eight at a time.
    const __m128 scale = _mm_set1_ps(32768.0f);
    for (; i + 8 <= frames; i += 8) {
        const __m128i low = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(from + i), scale));
        const __m128i high = _mm_cvtps_epi32(_mm_mul_ps(_mm_loadu_ps(from + i + 4), scale));
        _mm_storeu_si128(reinterpret_cast<__m128i *>(to + i), _mm_packs_epi32(low, high));
    }
#endif
    for (; i < frames; ++i)
        to[i] = static_cast<std::int16_t>(std::min(32767L, std::lrint(from[i] * 32768.0f)));
}

void storeSamples(Sample24 *to, const float *from, long frames)
{
    for (long i = 0; i < frames; ++i) {
        const long v = std::clamp(std::lrint(static_cast<double>(from[i]) * 8388608.0), -8388608L, 8388607L);
        const auto u = static_cast<std::uint32_t>(v);
        to[i].bytes = {static_cast<unsigned char>(u), static_cast<unsigned char>(u >> 8), static_cast<unsigned char>(u >> 16)};
    }
}

// A piece's input, one plane per channel, allocated at its most and filled as it comes: pages
// not yet written take no memory.
template <typename Sample>
struct Planes
{
    std::array<std::unique_ptr<Sample[]>, 2> plane;

    long capacity = 0; // samples of each plane

    void allocate(int channels, long samples)
    {
        for (int c = 0; c < channels; ++c)
            plane[static_cast<std::size_t>(c)].reset(new Sample[static_cast<std::size_t>(samples)]);
        capacity = samples;
    }
    // Both channels from sample at on; a mono piece's only plane twice.
    std::array<const Sample *, 2> at(long sample) const
    {
        const Sample *left = plane[0].get() + sample;
        return {left, plane[1] ? plane[1].get() + sample : left};
    }
};

template <typename Sample>
struct Piece
{
    // Under the pipeline's lock while the piece is being filled, its own after.
    bool last = false;
    bool sealed = false;   // its input is all there: inputEnd is final
    long inputEnd = 0;     // the sample of the whole input its encoder is given up to
    long available = 0;    // samples of the planes that are written, from the start
    Planes<Sample> planes; // from out.firstFrame's first sample on
    long filled = 0;       // the decoding thread's count of the same
    std::unique_ptr<Mp3Encoder> encoder;
    EncodedPiece out;
    Status status;
    bool done = false; // set by the worker, under the pipeline's lock
};

// Passes samples [from, to) of planes (relative to their start) to an encoder, and flushes it
// when last.
template <typename Sample>
Status feed(Mp3Encoder &encoder, EncodedPiece &out, const Planes<Sample> &planes, long from, long to, bool last)
{
    std::span<const unsigned char> bytes;
    // Samples of the 24-bit grid go to LAME as floats, a call's worth at a time.
    std::array<std::vector<float>, 2> unpacked;
    for (long at = from; at < to; at += kCallFrames) {
        const long n = std::min(kCallFrames, to - at);
        const std::array<const Sample *, 2> channels = planes.at(at);
        Status s;
        if constexpr (std::is_same_v<Sample, Sample24>) {
            std::array<const float *, 2> floats{};
            for (std::size_t c = 0; c < 2; ++c) {
                if (c == 1 && channels[1] == channels[0]) {
                    floats[1] = floats[0];
                    break;
                }
                unpacked[c].resize(static_cast<std::size_t>(n));
                for (long i = 0; i < n; ++i)
                    unpacked[c][static_cast<std::size_t>(i)] = channels[c][i].value();
                floats[c] = unpacked[c].data();
            }
            s = encoder.encode(floats.data(), static_cast<int>(n), bytes);
        } else {
            s = encoder.encode(channels.data(), static_cast<int>(n), bytes);
        }
        if (!s.ok())
            return s;
        out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
    }
    if (last) {
        if (Status s = encoder.flush(bytes); !s.ok())
            return s;
        out.bytes.insert(out.bytes.end(), bytes.begin(), bytes.end());
    }
    if (!out.readNewFrames())
        return Status::fail(ExitCode::Failure, "MP3 encoder: its output is no MP3 stream");
    return Status::success();
}

// Writes the joined frames, after room for the info frame, which finish() fills in.
class StreamWriter final
{
public:
    StreamWriter(OutputFile &file, InfoFrameFields settings, int frameSamples)
        : m_file(file)
        , m_fields(std::move(settings))
        , m_frameSamples(frameSamples)
    {
    }

    Status write(const EncodedPiece &piece, long from, long to)
    {
        if (from >= to)
            return Status::success();
        const std::size_t start = piece.startOf(from);
        if (!m_started) {
            const unsigned char *p = piece.bytes.data() + start;
            m_fields.header = bigEndian32(p);
            const std::vector<unsigned char> room(infoFrameSize(m_fields.header), 0);
            if (Status s = m_file.write(room); !s.ok())
                return s;
            m_bytes = room.size();
            m_started = true;
        }
        const std::span<const unsigned char> frames(piece.bytes.data() + start, piece.startOf(to) - start);
        m_musicCrc = crc16(frames, m_musicCrc);
        m_bytes += frames.size();
        m_frames += static_cast<std::uint64_t>(to - from);
        return m_file.write(frames);
    }

    Status finish(long samples)
    {
        if (!m_started || infoFrameSize(m_fields.header) == 0)
            return Status::success();
        m_fields.musicFrames = static_cast<std::uint32_t>(m_frames);
        m_fields.fileBytes = static_cast<std::uint32_t>(m_bytes);
        m_fields.musicCrc = m_musicCrc;
        // What a decoder drops at the end: everything the frames hold beyond the delay and
        // the input.
        m_fields.padding = static_cast<int>(static_cast<long>(m_frames) * m_frameSamples - m_fields.encoderDelay - samples);
        return m_file.overwriteStart(buildInfoFrame(m_fields));
    }

private:
    OutputFile &m_file;
    InfoFrameFields m_fields;
    int m_frameSamples;
    bool m_started = false;
    std::uint64_t m_bytes = 0;
    std::uint64_t m_frames = 0;
    std::uint16_t m_musicCrc = 0;
};

// Cuts the input into pieces, has them encoded, and joins them. With no workers, each piece is
// encoded on the calling thread as it is cut: the same pieces, one after another.
template <typename Sample>
class PiecePipeline final : public DecodeListener
{
public:
    PiecePipeline(const Mp3Format &format, const PieceLayout &layout, OutputFile &file, InfoFrameFields settings, int workers,
                  void (*report)(int))
        : m_format(format)
        , m_layout(layout)
        , m_frameSamples(format.sampleRate >= 32000 ? 1152 : 576)
        , m_pieceFrames(std::max(1L, layout.pieceFrames))
        , m_frameBytes(static_cast<long>(m_frameSamples / 8) * format.bitrateKbps * 1000 / format.sampleRate)
        , m_maxPieces(piecesInFlight(workers))
        , m_writer(file, std::move(settings), m_frameSamples)
        , m_progress(report)
    {
        for (int i = 0; i < workers; ++i)
            m_threads.emplace_back([this] { work(); });
    }

    ~PiecePipeline() override
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_work.notify_all();
        m_input.notify_all();
        for (std::thread &thread : m_threads)
            thread.join();
    }

    // The input goes straight into the piece it belongs to, which a worker encodes as it comes.
    // A piece is sealed once its input is all there, and the next one opened with the input
    // they share. The last piece may come out short; if it is too short to join, the piece
    // before it goes on through it.
    Status samples(const float *const *planes, int frames) override
    {
        for (long done = 0; done < frames;) {
            if (!m_open) {
                if (Status s = open(); !s.ok())
                    return s;
            }
            Piece<Sample> &piece = *m_open;
            const long room = piece.inputEnd - inputStart(piece) - piece.filled;
            const long n = std::min(frames - done, room);
            for (int c = 0; c < m_format.channels; ++c)
                storeSamples(piece.planes.plane[static_cast<std::size_t>(c)].get() + piece.filled, planes[c] + done, n);
            piece.filled += n;
            done += n;
            m_inputEnd += n;
            if (n == room)
                seal(false);
        }
        if (m_open) {
            {
                std::lock_guard lock(m_mutex);
                m_open->available = m_open->filled;
            }
            m_input.notify_all();
        }
        return Status::success();
    }

    void progress(int percent) override { m_progress(percent); }

    long inputSamples() const { return m_inputEnd; }

    // The input has ended: encodes and joins what is left and completes the stream.
    Status finish()
    {
        if (!m_open) {
            if (Status s = open(); !s.ok())
                return s;
        }
        seal(true);
        for (;;) {
            if (Status s = takeDone(); !s.ok())
                return s;
            std::unique_lock lock(m_mutex);
            if (m_pieces.empty())
                break;
            m_done.wait(lock, [this] { return m_pieces.front()->done; });
        }
        if (!m_tail || !m_tail->last || !m_tail->out.complete())
            return Status::fail(ExitCode::Failure, "MP3 encoder: the joined stream is incomplete");
        if (Status s = m_writer.write(m_tail->out, m_tail->out.keepFrom, m_tail->out.endFrame()); !s.ok())
            return s;
        return m_writer.finish(m_inputEnd);
    }

private:
    // As many pieces as workers, but within the budget of bytes (at least one); the piece being
    // filled is one of them.
    std::size_t piecesInFlight(int workers) const
    {
        const auto pieceBytes = static_cast<std::size_t>(m_layout.leadFrames + m_pieceFrames + m_layout.joinFrames
                                                         + kSettleFrames)
            * static_cast<std::size_t>(m_frameSamples * m_format.channels) * sizeof(Sample);
        const std::size_t budget = kBudgetPerWorker * static_cast<std::size_t>(std::max(1, workers));
        return std::clamp<std::size_t>(budget / std::max<std::size_t>(1, pieceBytes), 1,
                                       static_cast<std::size_t>(std::max(1, workers)));
    }

    // The sample of the whole input that a piece's planes begin with.
    long inputStart(const Piece<Sample> &piece) const { return piece.out.firstFrame * m_frameSamples; }

    // Opens the next piece, from m_nextPiece on, with the input it shares with the one before,
    // and hands it to the workers. Waits for room first: the pieces in order are taken as they
    // are done.
    Status open()
    {
        for (;;) {
            if (Status s = takeDone(); !s.ok())
                return s;
            std::unique_lock lock(m_mutex);
            if (m_pieces.size() < m_maxPieces)
                break;
            m_done.wait(lock, [this] { return m_pieces.front()->done; });
        }

        auto piece = std::make_unique<Piece<Sample>>();
        piece->inputEnd = (m_nextPiece + m_pieceFrames + m_layout.joinFrames + kSettleFrames) * m_frameSamples;
        piece->out.firstFrame = std::max(0L, m_nextPiece - m_layout.leadFrames);
        piece->out.keepFrom = m_nextPiece;
        const long most = piece->inputEnd - inputStart(*piece);
        // The planes of the piece joined last, if it left any: their pages are there already.
        if (m_spare.capacity >= most)
            piece->planes = std::move(m_spare);
        else
            piece->planes.allocate(m_format.channels, most);
        m_spare = {};
        piece->filled = static_cast<long>(m_carry[0].size());
        for (int c = 0; c < m_format.channels; ++c) {
            std::vector<Sample> &carried = m_carry[static_cast<std::size_t>(c)];
            std::copy(carried.begin(), carried.end(), piece->planes.plane[static_cast<std::size_t>(c)].get());
            carried.clear();
        }
        piece->available = piece->filled;
        // Room for the frames, so the output does not grow by doubling: a frame of the bit
        // rate (and its padding byte) for every frame of input, and the few a flush adds.
        const long frames = most / m_frameSamples + 4;
        piece->out.bytes.reserve(static_cast<std::size_t>(frames * (m_frameBytes + 1)));

        m_open = piece.get();
        {
            std::lock_guard lock(m_mutex);
            m_pieces.push_back(std::move(piece));
            if (!m_threads.empty())
                m_queue.push_back(m_open);
        }
        m_work.notify_one();
        return Status::success();
    }

    // The open piece's input is all there (the input's end, when last): keeps what the next
    // piece shares with it, and lets its worker finish it. With no workers, encodes it here.
    void seal(bool last)
    {
        Piece<Sample> &piece = *m_open;
        m_open = nullptr;
        if (!last) {
            m_nextPiece += m_pieceFrames;
            // The next piece's encoder starts the lead before it; nothing earlier is needed.
            const long from = std::max(0L, m_nextPiece - m_layout.leadFrames) * m_frameSamples - inputStart(piece);
            for (int c = 0; c < m_format.channels; ++c) {
                const Sample *plane = piece.planes.plane[static_cast<std::size_t>(c)].get();
                m_carry[static_cast<std::size_t>(c)].assign(plane + from, plane + piece.filled);
            }
        }
        {
            std::lock_guard lock(m_mutex);
            piece.last = last;
            if (last)
                piece.inputEnd = m_inputEnd;
            piece.available = piece.filled;
            piece.sealed = true;
        }
        m_input.notify_all();
        if (m_threads.empty())
            encode(piece);
    }

    // Joins the finished pieces at the front of the line onto the stream.
    Status takeDone()
    {
        for (;;) {
            std::unique_ptr<Piece<Sample>> piece;
            {
                std::lock_guard lock(m_mutex);
                if (m_pieces.empty() || !m_pieces.front()->done)
                    return Status::success();
                piece = std::move(m_pieces.front());
                m_pieces.pop_front();
            }
            if (!piece->status.ok())
                return piece->status;
            if (Status s = take(std::move(piece)); !s.ok())
                return s;
        }
    }

    Status take(std::unique_ptr<Piece<Sample>> piece)
    {
        if (!m_tail) {
            recycle(piece->planes);
            m_tail = std::move(piece);
            return Status::success();
        }
        Piece<Sample> &left = *m_tail;
        // Until joined, the piece keeps its frames from its own first one on.
        long from = piece->out.keepFrom;
        long to = from + m_layout.joinFrames;
        long at = join(left, *piece, from, to);
        // None fits: the left encoder goes on through the next window, and the join is sought
        // there, as long as the piece holds the window and the frames that settle it.
        for (long window = 0; at < 0 && window < m_layout.moreWindows && m_layout.joinFrames > 0; ++window) {
            const long end = (to + m_layout.joinFrames + kSettleFrames) * m_frameSamples;
            if (end > piece->inputEnd || (piece->last && end == piece->inputEnd))
                break;
            if (Status s = feed(*left.encoder, left.out, piece->planes, left.inputEnd - inputStart(*piece),
                                end - inputStart(*piece), false);
                !s.ok())
                return s;
            left.inputEnd = end;
            from = to;
            to += m_layout.joinFrames;
            at = join(left, *piece, from, to);
        }
        if (at >= 0) {
            makeJoin(left.out, piece->out, at);
            if (Status s = m_writer.write(left.out, left.out.keepFrom, at); !s.ok())
                return s;
            recycle(piece->planes);
            m_tail = std::move(piece);
            // The workers' heaps keep what a finished piece's encoder freed; give it back, so
            // a long file stays as small as a short one.
            malloc_trim(0);
            return Status::success();
        }
        // No join fits: the left encoder goes on through this piece, which it replaces.
        const Status s = feed(*left.encoder, left.out, piece->planes, left.inputEnd - inputStart(*piece),
                              piece->inputEnd - inputStart(*piece), piece->last);
        left.inputEnd = piece->inputEnd;
        left.last = piece->last;
        return s;
    }

    // Keeps the planes of a piece that no longer needs them for the next piece to fill.
    void recycle(Planes<Sample> &planes)
    {
        if (planes.capacity > m_spare.capacity)
            m_spare = std::move(planes);
        planes = {};
    }

    // The frame in [from, to) where the left piece's frames are best followed by the right's,
    // or -1: one where the window shapes follow one another too, else one where the bytes fit.
    static long join(const Piece<Sample> &left, const Piece<Sample> &right, long from, long to)
    {
        const long at = findJoin(left.out, right.out, from, to, true);
        return at >= 0 ? at : findJoin(left.out, right.out, from, to, false);
    }

    // Encodes a piece with an encoder of its own, as its input comes: in calls of kCallFrames
    // from its start, whatever the batches of the input, until it is sealed.
    void encode(Piece<Sample> &piece)
    {
        piece.encoder = std::make_unique<Mp3Encoder>();
        Status s = piece.encoder->open(m_format, false);
        for (long at = 0; s.ok();) {
            long available = 0;
            bool sealed = false;
            {
                std::unique_lock lock(m_mutex);
                m_input.wait(lock, [&] { return piece.sealed || piece.available - at >= kCallFrames || m_stopping; });
                if (!piece.sealed && m_stopping) {
                    s = Status::fail(ExitCode::Failure, "MP3 encoder: stopped");
                    break;
                }
                available = piece.available;
                sealed = piece.sealed;
            }
            if (sealed) {
                s = feed(*piece.encoder, piece.out, piece.planes, at, piece.inputEnd - inputStart(piece), piece.last);
                break;
            }
            const long to = at + (available - at) / kCallFrames * kCallFrames;
            s = feed(*piece.encoder, piece.out, piece.planes, at, to, false);
            at = to;
        }
        {
            std::lock_guard lock(m_mutex);
            piece.status = std::move(s);
            piece.done = true;
        }
        m_done.notify_all();
    }

    // A worker thread: encodes the pieces in the order they were cut.
    void work()
    {
        interrupt::AlternateStack faultStack;
        for (;;) {
            Piece<Sample> *piece = nullptr;
            {
                std::unique_lock lock(m_mutex);
                m_work.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
                if (m_stopping)
                    return;
                piece = m_queue.front();
                m_queue.pop_front();
            }
            encode(*piece);
        }
    }

    const Mp3Format &m_format;
    const PieceLayout m_layout;
    const int m_frameSamples;
    const long m_pieceFrames;
    const long m_frameBytes; // of a frame at the bit rate, without padding
    const std::size_t m_maxPieces;
    StreamWriter m_writer;
    void (*m_progress)(int);

    // The decoding thread's: the piece being filled, and the input the next one shares with
    // the last one sealed.
    Piece<Sample> *m_open = nullptr;
    std::array<std::vector<Sample>, 2> m_carry;
    Planes<Sample> m_spare;                // a joined piece's, for the next one
    long m_inputEnd = 0;                   // samples of input so far
    long m_nextPiece = 0;                  // the frame the next piece begins with
    std::unique_ptr<Piece<Sample>> m_tail; // the last piece joined; its frames from keepFrom on are not yet written

    std::mutex m_mutex;
    std::condition_variable m_work;                      // a piece is waiting, or the workers are to stop
    std::condition_variable m_done;                      // a worker finished a piece
    std::condition_variable m_input;                     // input came, or a piece was sealed
    std::deque<std::unique_ptr<Piece<Sample>>> m_pieces; // cut and not yet joined, in order
    std::deque<Piece<Sample> *> m_queue;                 // of those, the ones no worker has begun
    bool m_stopping = false;
    std::vector<std::thread> m_threads; // last: they end before the rest goes
};

} // namespace

Status encodeInPieces(AudioDecoder &decoder, const Mp3Format &format, OutputFile &file, int workers,
                      void (*progress)(int percent), const PieceLayout &layout, StreamFacts *facts)
{
    // What the info frame says of the pieces' settings, from an encoder that goes before the
    // pieces' encoders come.
    InfoFrameFields fields;
    {
        Mp3Encoder settings;
        if (Status s = settings.open(format, false); !s.ok())
            return s;
        fields = settings.settingsFields();
    }
    if (facts)
        facts->encoderDelay = fields.encoderDelay;
    const auto run = [&](auto &pipeline) {
        if (Status s = decoder.run(format.sampleRate, format.channels, pipeline); !s.ok())
            return s;
        if (facts)
            facts->samples = pipeline.inputSamples();
        return pipeline.finish();
    };
    workers = std::clamp(workers, 0, kMaxWorkers);
    if (decoder.deeperThan16Bits()) {
        PiecePipeline<Sample24> pipeline(format, layout, file, std::move(fields), workers, progress);
        return run(pipeline);
    }
    PiecePipeline<std::int16_t> pipeline(format, layout, file, std::move(fields), workers, progress);
    return run(pipeline);
}

int availableCores()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    const int cores = ::sched_getaffinity(0, sizeof set, &set) == 0 ? CPU_COUNT(&set)
                                                                    : static_cast<int>(std::thread::hardware_concurrency());
    // Every encoder more holds a LAME encoder and a piece of its own: beyond three, fastencc
    // would outgrow its 40 MB, and the shorter pieces would spend more on the joins.
    return std::clamp(cores, 1, kMaxWorkers);
}

} // namespace fastencc
