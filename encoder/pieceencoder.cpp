#include "encoder/pieceencoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <malloc.h>
#include <sched.h>

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
// The input the pieces in flight hold, at most, per worker; with 600 frames, a stereo piece of
// floats takes 5.7 MB, so only longer pieces ever have fewer in flight than workers.
constexpr std::size_t kBudgetPerWorker = 6u << 20;
// The most workers encodeInPieces() is given (availableCores()).
constexpr int kMaxWorkers = 3;
// Input beyond the frames where a join is sought, so that LAME has put all of them out.
constexpr long kSettleFrames = 3;
// LAME encodes a piece in calls of at most this many samples.
constexpr long kCallFrames = 8192;

// Audio waiting to be encoded is held as 16-bit samples where the source has no more: half the
// memory of floats. A 16-bit source loses nothing (x * 32768 is exact); resampled audio is
// rounded at -98 dB, far below what the MP3 keeps. A deeper source (24-bit, float) is held as
// floats, so its quietest detail reaches LAME as it would in one encoder.
template <typename Sample>
using Planes = std::array<std::vector<Sample>, 2>;

void appendSamples(std::vector<std::int16_t> &to, const float *from, int frames)
{
    const std::size_t at = to.size();
    to.resize(at + static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i)
        to[at + static_cast<std::size_t>(i)] = static_cast<std::int16_t>(std::min(32767L, std::lrint(from[i] * 32768.0f)));
}

void appendSamples(std::vector<float> &to, const float *from, int frames)
{
    to.insert(to.end(), from, from + frames);
}

template <typename Sample>
struct Piece
{
    bool last = false;
    long inputEnd = 0;     // the sample of the whole input its encoder has been given up to
    Planes<Sample> planes; // from out.firstFrame's first sample on
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
    for (long at = from; at < to; at += kCallFrames) {
        const long n = std::min(kCallFrames, to - at);
        const Sample *channels[2] = {planes[0].data() + at, (planes[1].empty() ? planes[0] : planes[1]).data() + at};
        if (Status s = encoder.encode(channels, static_cast<int>(n), bytes); !s.ok())
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
        // The most the input waiting to be cut holds (see samples()), so it never grows by doubling.
        const long most = (m_layout.leadFrames + m_pieceFrames + m_layout.joinFrames + kSettleFrames + 1) * m_frameSamples
            + AudioDecoder::kMaxBatchFrames;
        for (int c = 0; c < format.channels; ++c)
            m_buffer[c].reserve(static_cast<std::size_t>(most));
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
        for (std::thread &thread : m_threads)
            thread.join();
    }

    Status samples(const float *const *planes, int frames) override
    {
        for (int c = 0; c < m_format.channels; ++c)
            appendSamples(m_buffer[c], planes[c], frames);
        m_inputEnd += frames;
        // A piece is cut once its input is all there. The last piece may come out short; if it
        // is too short to join, the piece before it goes on through it.
        while (m_inputEnd >= (m_nextPiece + m_pieceFrames + m_layout.joinFrames + kSettleFrames) * m_frameSamples) {
            if (Status s = cut(false); !s.ok())
                return s;
        }
        return Status::success();
    }

    void progress(int percent) override { m_progress(percent); }

    long inputSamples() const { return m_inputEnd; }

    // The input has ended: encodes and joins what is left and completes the stream.
    Status finish()
    {
        if (Status s = cut(true); !s.ok())
            return s;
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
    // As many pieces as workers, but within the budget of bytes (at least one).
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

    // Hands the next piece, from m_nextPiece on, to the workers.
    Status cut(bool last)
    {
        // Wait for room first, so the new piece's copy of the input never comes on top of a
        // full line: the pieces in order are taken as they are done.
        for (;;) {
            if (Status s = takeDone(); !s.ok())
                return s;
            std::unique_lock lock(m_mutex);
            if (m_pieces.size() < m_maxPieces)
                break;
            m_done.wait(lock, [this] { return m_pieces.front()->done; });
        }

        auto piece = std::make_unique<Piece<Sample>>();
        const long first = std::max(0L, m_nextPiece - m_layout.leadFrames);
        piece->last = last;
        piece->inputEnd = last ? m_inputEnd
                               : (m_nextPiece + m_pieceFrames + m_layout.joinFrames + kSettleFrames) * m_frameSamples;
        piece->out.firstFrame = first;
        piece->out.keepFrom = m_nextPiece;
        for (int c = 0; c < m_format.channels; ++c) {
            const auto begin = m_buffer[c].begin() + (inputStart(*piece) - m_bufferStart);
            piece->planes[c].assign(begin, begin + (piece->inputEnd - inputStart(*piece)));
        }
        // Room for the frames, so the output does not grow by doubling: a frame of the bit
        // rate (and its padding byte) for every frame of input, and the few a flush adds.
        const long frames = (piece->inputEnd - inputStart(*piece)) / m_frameSamples + 4;
        piece->out.bytes.reserve(static_cast<std::size_t>(frames * (m_frameBytes + 1)));

        m_nextPiece += m_pieceFrames;
        // The next piece's encoder starts the lead before it; nothing earlier is needed.
        const long keep = std::min(m_inputEnd, std::max(0L, m_nextPiece - m_layout.leadFrames) * m_frameSamples);
        if (keep > m_bufferStart) {
            for (int c = 0; c < m_format.channels; ++c)
                m_buffer[c].erase(m_buffer[c].begin(), m_buffer[c].begin() + (keep - m_bufferStart));
            m_bufferStart = keep;
        }

        Piece<Sample> *cutPiece = piece.get();
        {
            std::lock_guard lock(m_mutex);
            m_pieces.push_back(std::move(piece));
            if (!m_threads.empty())
                m_queue.push_back(cutPiece);
        }
        if (m_threads.empty())
            encode(*cutPiece);
        else
            m_work.notify_one();
        return Status::success();
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
            piece->planes = {};
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
            piece->planes = {};
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

    // The frame in [from, to) where the left piece's frames are best followed by the right's,
    // or -1: one where the window shapes follow one another too, else one where the bytes fit.
    static long join(const Piece<Sample> &left, const Piece<Sample> &right, long from, long to)
    {
        const long at = findJoin(left.out, right.out, from, to, true);
        return at >= 0 ? at : findJoin(left.out, right.out, from, to, false);
    }

    // Encodes a piece with an encoder of its own.
    void encode(Piece<Sample> &piece)
    {
        piece.encoder = std::make_unique<Mp3Encoder>();
        Status s = piece.encoder->open(m_format, false);
        if (s.ok())
            s = feed(*piece.encoder, piece.out, piece.planes, 0, piece.inputEnd - inputStart(piece), piece.last);
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

    // The input not yet cut into pieces (decoding thread only).
    Planes<Sample> m_buffer;
    long m_bufferStart = 0;                // the input sample m_buffer begins with
    long m_inputEnd = 0;                   // samples of input so far
    long m_nextPiece = 0;                  // the frame the next piece begins with
    std::unique_ptr<Piece<Sample>> m_tail; // the last piece joined; its frames from keepFrom on are not yet written

    std::mutex m_mutex;
    std::condition_variable m_work;                      // a piece is waiting, or the workers are to stop
    std::condition_variable m_done;                      // a worker finished a piece
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
        PiecePipeline<float> pipeline(format, layout, file, std::move(fields), workers, progress);
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
