#include "encoder/batchqueue.h"

#include <algorithm>

namespace fastencc {

BatchQueue::BatchQueue(int channels, int slotFrames, int depth)
    : m_channels(channels)
    , m_slotFrames(slotFrames)
    , m_slots(static_cast<std::size_t>(depth))
{
    for (Slot &slot : m_slots) {
        for (int c = 0; c < channels; ++c)
            slot.planes[static_cast<std::size_t>(c)].resize(static_cast<std::size_t>(slotFrames));
    }
}

bool BatchQueue::push(const float *const *planes, int frames)
{
    const int depth = static_cast<int>(m_slots.size());
    for (int offset = 0; offset < frames;) {
        int index = 0;
        {
            std::unique_lock lock(m_mutex);
            m_changed.wait(lock, [&] { return m_aborted || m_count < depth; });
            if (m_aborted)
                return false;
            index = (m_head + m_count) % depth;
        }
        // The slot is free and only this thread fills slots: copy without the lock.
        Slot &slot = m_slots[static_cast<std::size_t>(index)];
        const int n = std::min(frames - offset, m_slotFrames);
        for (int c = 0; c < m_channels; ++c)
            std::copy_n(planes[c] + offset, n, slot.planes[static_cast<std::size_t>(c)].data());
        slot.frames = n;
        offset += n;
        {
            std::lock_guard lock(m_mutex);
            ++m_count;
        }
        m_changed.notify_all();
    }
    return true;
}

void BatchQueue::finish(Status status)
{
    {
        std::lock_guard lock(m_mutex);
        m_finished = true;
        m_producerStatus = std::move(status);
    }
    m_changed.notify_all();
}

bool BatchQueue::pop(Batch &batch)
{
    std::unique_lock lock(m_mutex);
    m_changed.wait(lock, [&] { return m_count > 0 || m_finished; });
    if (m_count == 0)
        return false;
    const Slot &slot = m_slots[static_cast<std::size_t>(m_head)];
    batch.planes = {slot.planes[0].data(), m_channels > 1 ? slot.planes[1].data() : slot.planes[0].data()};
    batch.frames = slot.frames;
    return true;
}

void BatchQueue::release()
{
    {
        std::lock_guard lock(m_mutex);
        m_head = (m_head + 1) % static_cast<int>(m_slots.size());
        --m_count;
    }
    m_changed.notify_all();
}

void BatchQueue::abort()
{
    {
        std::lock_guard lock(m_mutex);
        m_aborted = true;
    }
    m_changed.notify_all();
}

Status BatchQueue::producerStatus()
{
    std::lock_guard lock(m_mutex);
    return m_producerStatus;
}

} // namespace fastencc
