#include "encoder/framejoin.h"

#include <algorithm>
#include <span>

#include "encoder/mp3copy.h"

namespace fastencc {

namespace {

// Reads the side information MSB first.
class BitReader
{
public:
    explicit BitReader(const unsigned char *data)
        : m_data(data)
    {
    }
    unsigned read(int bits)
    {
        unsigned value = 0;
        for (int i = 0; i < bits; ++i, ++m_position)
            value = (value << 1) | ((m_data[m_position / 8] >> (7 - m_position % 8)) & 1u);
        return value;
    }
    void skip(int bits) { m_position += static_cast<std::size_t>(bits); }

private:
    const unsigned char *m_data;
    std::size_t m_position = 0;
};

std::size_t sideInfoSize(const Mp3Header &h)
{
    if (h.mpeg1)
        return h.mono ? 17 : 32;
    return h.mono ? 9 : 17;
}

// Fills in main_data_begin and the window shapes from the side information at side.
void readSideInfo(const Mp3Header &h, const unsigned char *side, FrameRecord &frame)
{
    BitReader bits(side);
    const int channels = h.mono ? 1 : 2;
    frame.mainDataBegin = static_cast<int>(bits.read(h.mpeg1 ? 9 : 8));
    // Private bits, and for MPEG-1 the scale factor selection of each channel.
    bits.skip(h.mpeg1 ? (h.mono ? 5 : 3) + 4 * channels : (h.mono ? 1 : 2));
    const int granules = h.mpeg1 ? 2 : 1;
    for (int granule = 0; granule < granules; ++granule) {
        for (int channel = 0; channel < channels; ++channel) {
            // part2_3_length, big_values, global_gain, scalefac_compress
            bits.skip(12 + 9 + 8 + (h.mpeg1 ? 4 : 9));
            std::uint8_t blockType = 0;
            if (bits.read(1)) {
                blockType = static_cast<std::uint8_t>(bits.read(2));
                bits.skip(1 + 2 * 5 + 3 * 3); // mixed block, table selection, subblock gains
            } else {
                bits.skip(3 * 5 + 4 + 3); // table selection, region counts
            }
            bits.skip(h.mpeg1 ? 3 : 2); // (preflag,) scalefac_scale, count1table_select
            if (granule == 0)
                frame.firstBlock[static_cast<std::size_t>(channel)] = blockType;
            frame.lastBlock[static_cast<std::size_t>(channel)] = blockType;
        }
    }
    if (h.mono) {
        frame.firstBlock[1] = frame.firstBlock[0];
        frame.lastBlock[1] = frame.lastBlock[0];
    }
}

// Whether a granule of shape next may follow one of shape previous: after a long or a stop
// window comes a long or a start window, after a start or a short window a short or a stop one.
bool windowsFollow(std::uint8_t previous, std::uint8_t next)
{
    const bool previousLong = previous == 0 || previous == 3;
    const bool nextLong = next == 0 || next == 1;
    return previousLong == nextLong;
}

// The room for main data of a piece's frames [from, to), in stream order.
std::vector<std::span<unsigned char>> rooms(EncodedPiece &piece, long from, long to)
{
    std::vector<std::span<unsigned char>> result;
    for (long f = from; f < to; ++f) {
        const FrameRecord &r = piece.frame(f);
        result.emplace_back(piece.bytes.data() + r.dataOffset, r.end() - r.dataOffset);
    }
    return result;
}

// Bytes of room that frames [from, to) of a piece hold.
std::size_t roomSize(const EncodedPiece &piece, long from, long to)
{
    std::size_t total = 0;
    for (long f = from; f < to; ++f)
        total += piece.frame(f).end() - piece.frame(f).dataOffset;
    return total;
}

// The last n bytes of a list of rooms, as one sequence of byte pointers.
std::vector<unsigned char *> lastBytes(const std::vector<std::span<unsigned char>> &spans, std::size_t n)
{
    std::vector<unsigned char *> result;
    for (auto span = spans.rbegin(); span != spans.rend() && result.size() < n; ++span) {
        for (std::size_t i = span->size(); i-- > 0 && result.size() < n;)
            result.push_back(span->data() + i);
    }
    std::reverse(result.begin(), result.end());
    return result;
}

} // namespace

bool EncodedPiece::readNewFrames()
{
    std::size_t at = frames.empty() ? 0 : frames.back().end();
    while (at + 4 <= bytes.size()) {
        const unsigned char *p = bytes.data() + at;
        const std::uint32_t word = bigEndian32(p);
        const Mp3Header h = parseMp3Header(word);
        if (!h.valid)
            return false;
        if (at + h.size > bytes.size())
            break;
        FrameRecord frame;
        frame.offset = at;
        frame.size = h.size;
        const std::size_t crc = (word >> 16) & 1 ? 0 : 2;
        frame.dataOffset = at + 4 + crc + sideInfoSize(h);
        if (frame.dataOffset > frame.end())
            return false;
        readSideInfo(h, p + 4 + crc, frame);
        frames.push_back(frame);
        at += h.size;
    }
    return true;
}

std::size_t EncodedPiece::startOf(long frame) const
{
    return frame < endFrame() ? this->frame(frame).offset : frames.back().end();
}

long findJoin(const EncodedPiece &left, const EncodedPiece &right, long from, long to, bool matchWindows)
{
    long best = -1;
    int bestSlack = 0;
    for (long at = std::max(from, left.keepFrom + 1); at < to; ++at) {
        if (!left.has(at) || !right.has(at))
            continue;
        const FrameRecord &leftNext = left.frame(at);
        const FrameRecord &rightNext = right.frame(at);
        // The right frame's borrowed bytes must fit into the room the left stream leaves
        // before frame at (what left's own frame at would have used), and that room must lie
        // within the frames the output takes from left.
        const int slack = leftNext.mainDataBegin - rightNext.mainDataBegin;
        if (slack < 0)
            continue;
        if (roomSize(left, left.keepFrom, at) < static_cast<std::size_t>(rightNext.mainDataBegin))
            continue;
        // The right stream must have had frames before at to borrow from (it always has).
        if (roomSize(right, right.firstFrame, at) < static_cast<std::size_t>(rightNext.mainDataBegin))
            continue;
        if (matchWindows) {
            const FrameRecord &leftLast = left.frame(at - 1);
            if (!windowsFollow(leftLast.lastBlock[0], rightNext.firstBlock[0])
                || !windowsFollow(leftLast.lastBlock[1], rightNext.firstBlock[1]))
                continue;
        }
        // Where both encoders hold the same reserve of bits, the right one goes on as the left
        // one would have: the join leaves no trace in how the bits are shared out.
        if (best < 0 || slack < bestSlack) {
            best = at;
            bestSlack = slack;
            if (slack == 0)
                break;
        }
    }
    return best;
}

void makeJoin(EncodedPiece &left, EncodedPiece &right, long at)
{
    const auto leftRoom = rooms(left, left.keepFrom, at);
    const auto rightRoom = rooms(right, right.firstFrame, at);
    // What left's frame at would have used is free: left's own frames end before it.
    const std::size_t free = std::min<std::size_t>(static_cast<std::size_t>(left.frame(at).mainDataBegin),
                                                   roomSize(left, left.keepFrom, at));
    const std::size_t borrowed = static_cast<std::size_t>(right.frame(at).mainDataBegin);
    const std::vector<unsigned char *> target = lastBytes(leftRoom, free);
    const std::vector<unsigned char *> source = lastBytes(rightRoom, borrowed);
    const std::size_t cleared = target.size() - source.size();
    for (std::size_t i = 0; i < cleared; ++i)
        *target[i] = 0;
    for (std::size_t i = 0; i < source.size(); ++i)
        *target[cleared + i] = *source[i];
    right.keepFrom = at;
}

} // namespace fastencc
