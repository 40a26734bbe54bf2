#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace fastencc {

// Joining MP3 streams that LAME encoded from overlapping pieces of one input, so the pieces can
// be encoded at once on several cores. A frame's audio data (its "main data") need not lie in
// its own frame: with the bit reservoir it starts up to main_data_begin bytes earlier, in the
// room left over by the frames before it. Two streams can therefore not simply be cut and
// glued: the right stream's first frame may borrow bytes that the left stream used for
// something else. A join is made at a frame where the left stream has at least as much room
// before that frame as the right stream's frame borrows; the borrowed bytes are moved into
// that room and the rest of it is cleared.
//
// Frame numbers below count the frames of the whole output from 0; every piece is encoded from
// a whole number of frames into the input, so its frame i is frame firstFrame + i of the whole.

// What the join needs of one frame of LAME's output.
struct FrameRecord
{
    std::size_t offset = 0;     // of its header, in the piece's bytes
    std::size_t size = 0;       // of the whole frame, padding included
    std::size_t dataOffset = 0; // where its room for main data starts, after the side info
    int mainDataBegin = 0;      // bytes of its main data that lie before that room
    // Window shape of the first and the last granule of each channel: 0 long, 1 start,
    // 2 short, 3 stop. A stream must not switch shapes where the windows do not overlap.
    std::array<std::uint8_t, 2> firstBlock{};
    std::array<std::uint8_t, 2> lastBlock{};

    std::size_t end() const { return offset + size; }
};

// One piece as LAME encoded it, and what of it the output keeps.
struct EncodedPiece
{
    long firstFrame = 0; // the frame of the whole that the piece's first frame is
    long keepFrom = 0;   // the first frame the output takes from this piece
    std::vector<unsigned char> bytes;
    std::vector<FrameRecord> frames; // the whole frames at the start of bytes

    // Records the frames that have become whole since the last call. False when the bytes
    // hold something that is not a layer III frame of one stream (never for LAME's output).
    bool readNewFrames();
    // Whether every byte belongs to a recorded frame (LAME may still owe the end of the last).
    bool complete() const { return frames.empty() ? bytes.empty() : frames.back().end() == bytes.size(); }
    long endFrame() const { return firstFrame + static_cast<long>(frames.size()); }
    bool has(long frame) const { return frame >= firstFrame && frame < endFrame(); }
    const FrameRecord &frame(long frame) const { return frames[static_cast<std::size_t>(frame - firstFrame)]; }
    // The bytes of frames [from, to): what the output takes of this piece.
    std::size_t startOf(long frame) const;
};

// The frame in [from, to) at which the output had best switch from left's frames to right's, or
// -1 when it can nowhere. The best is the first where both encoders hold the same reserve of
// bits, else where the two differ least. With matchWindows, also the window shapes must follow
// one another correctly across the join (without it only the bytes must fit).
long findJoin(const EncodedPiece &left, const EncodedPiece &right, long from, long to, bool matchWindows);

// Makes left's frames [left.keepFrom, at) followed by right's frames [at, ...) one valid stream:
// writes the main data that right's frame at borrows into the room at the end of left's frames,
// clearing the rest of that room. at must come from findJoin(). Sets right.keepFrom = at.
void makeJoin(EncodedPiece &left, EncodedPiece &right, long at);

} // namespace fastencc
