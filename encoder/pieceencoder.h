#pragma once

#include <cstdint>

#include "encoder/status.h"

namespace fastencc {

class AudioDecoder;
class OutputFile;
struct Mp3Format;

// Encodes one input on several cores. The decoded audio is cut into pieces of a fixed number of
// MP3 frames; LAME encoders on worker threads encode each piece, starting a few frames before it
// (so the encoder has settled by the piece's first frame) and going a few frames beyond it
// (where the join with the next piece is sought). The pieces' frames are joined into one stream
// (framejoin.h) and written in order, after room for the info frame that is completed at the
// end. Where no join fits, the left piece's encoder goes on through a further window of the
// next piece, where the join is sought again; only where none fits there either does it go on
// through the whole piece, so the output is always one valid stream, at worst encoded in one go.
//
// Decoding and joining run on the calling thread. The input goes straight into the piece it
// belongs to, which a worker encodes as it comes. At most as many pieces as workers are held at
// a time, the one being filled among them (fewer where their input would pass a budget of
// bytes), so memory stays the same whatever the input's length. With no workers, the calling
// thread encodes every piece itself once its input is all there. The pieces and their joins depend on the input
// alone, never on the number of workers or the budget, so neither do the bytes of the output.
// Sources deeper than 16 bits are held at full precision. On success the stream is complete in
// file, which the caller commits; progress gets the percentage of input read.
struct PieceLayout
{
    long pieceFrames = 600; // MP3 frames of a piece
    long leadFrames = 8;    // an encoder starts this many frames before its piece
    long joinFrames = 12;   // the join with the next piece is sought among this many frames
    long moreWindows = 1;   // where none fits, windows searched further on, one after another
};
// What encodeInPieces() tells of the stream: LAME's delay, known before the first byte is
// written, and the samples encoded, at the end. A player plays exactly those samples.
struct StreamFacts
{
    int encoderDelay = 0;
    std::int64_t samples = 0;
};
Status encodeInPieces(AudioDecoder &decoder, const Mp3Format &format, OutputFile &file, int workers,
                      void (*progress)(int percent), const PieceLayout &layout = {}, StreamFacts *facts = nullptr);

// How many workers encodeInPieces() should run: the processors this process may use, at most 3.
int availableCores();

} // namespace fastencc
