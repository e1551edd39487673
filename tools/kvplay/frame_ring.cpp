#include "tools/kvplay/frame_ring.h"

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <cstring>

namespace kvplay {

FrameRing::FrameRing(size_t capacityFrames) : samples_(2 * capacityFrames), capacity_(capacityFrames)
{
    sem_init(&wake_, 0, 0);
}

FrameRing::~FrameRing()
{
    sem_destroy(&wake_);
}

void FrameRing::waitForSpace(size_t frames, unsigned milliseconds)
{
    wanted_.store(frames, std::memory_order_seq_cst);
    if (writable() < frames) {
        timespec until{};
        clock_gettime(CLOCK_REALTIME, &until);
        const long nanoseconds = until.tv_nsec + long(milliseconds % 1000) * 1000000;
        until.tv_sec += time_t(milliseconds / 1000 + nanoseconds / 1000000000);
        until.tv_nsec = nanoseconds % 1000000000;
        while (sem_timedwait(&wake_, &until) != 0 && errno == EINTR) {
        }
    }
    wanted_.store(0, std::memory_order_seq_cst);
}

void FrameRing::wakeWriter()
{
    sem_post(&wake_);
}

size_t FrameRing::writable() const
{
    return capacity_ - readable();
}

size_t FrameRing::readable() const
{
    return size_t(written_.load(std::memory_order_acquire) - read_.load(std::memory_order_acquire));
}

void FrameRing::copyIn(uint64_t at, const int16_t *frames, size_t count)
{
    const size_t start = size_t(at % capacity_), first = std::min(count, capacity_ - start);
    std::memcpy(samples_.data() + 2 * start, frames, 4 * first);
    std::memcpy(samples_.data(), frames + 2 * first, 4 * (count - first));
}

void FrameRing::copyOut(uint64_t at, int16_t *frames, size_t count) const
{
    const size_t start = size_t(at % capacity_), first = std::min(count, capacity_ - start);
    std::memcpy(frames, samples_.data() + 2 * start, 4 * first);
    std::memcpy(frames + 2 * first, samples_.data(), 4 * (count - first));
}

void FrameRing::write(const int16_t *frames, size_t count)
{
    const uint64_t at = written_.load(std::memory_order_relaxed);
    copyIn(at, frames, count);
    written_.store(at + count, std::memory_order_release);
}

size_t FrameRing::read(int16_t *out, size_t count)
{
    const uint64_t at = read_.load(std::memory_order_relaxed);
    const size_t n = std::min(count, size_t(written_.load(std::memory_order_acquire) - at));
    copyOut(at, out, n);
    read_.store(at + n, std::memory_order_seq_cst);
    // Checked after the new read position is stored, as waitForSpace checks
    // the room after storing what it waits for: one of the two sees the other.
    const size_t wanted = wanted_.load(std::memory_order_seq_cst);
    if (wanted && writable() >= wanted)
        sem_post(&wake_);
    return n;
}

void FrameRing::restart(uint64_t position)
{
    const uint64_t at = written_.load(std::memory_order_relaxed);
    read_.store(at, std::memory_order_release);
    origin_.store(int64_t(position) - int64_t(at), std::memory_order_release);
}

uint64_t FrameRing::heardPosition() const
{
    return uint64_t(int64_t(read_.load(std::memory_order_acquire)) + origin_.load(std::memory_order_acquire));
}

} // namespace kvplay
