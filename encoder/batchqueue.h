#pragma once

#include <array>
#include <condition_variable>
#include <mutex>
#include <vector>

#include "encoder/status.h"

namespace fastencc {

// Carries batches of planar float audio from the decoding thread to the encoding thread, so
// decoding and resampling overlap with LAME. A fixed ring of slots: memory stays the same
// however long the input, and the decoder waits when the encoder falls behind.
// One producer thread (push, finish) and one consumer thread (pop, release, abort).
class BatchQueue final
{
public:
    BatchQueue(int channels, int slotFrames, int depth);
    BatchQueue(const BatchQueue &) = delete;
    BatchQueue &operator=(const BatchQueue &) = delete;

    // Copies a batch in; waits for a free slot. Returns false once the consumer has aborted.
    bool push(const float *const *planes, int frames);
    // The producer is done; status says whether it ended well.
    void finish(Status status);

    struct Batch
    {
        std::array<const float *, 2> planes{};
        int frames = 0;
    };
    // Waits for the next batch; false when the producer has finished and all is taken.
    // The batch stays valid until release().
    bool pop(Batch &batch);
    void release();
    // The consumer stops taking batches; a waiting or later push() returns false.
    void abort();
    // What the producer passed to finish().
    Status producerStatus();

private:
    struct Slot
    {
        std::array<std::vector<float>, 2> planes;
        int frames = 0;
    };

    int m_channels;
    int m_slotFrames;
    std::vector<Slot> m_slots;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_head = 0;  // next slot to pop
    int m_count = 0; // filled slots, including one popped but not yet released
    bool m_finished = false;
    bool m_aborted = false;
    Status m_producerStatus;
};

} // namespace fastencc
