#include "tools/kvplay/feeder.h"

#include <algorithm>

namespace kvplay {
namespace {

// Frames rendered at a time: a short hold of the device's lock.
constexpr uint32_t BLOCK_FRAMES = 1024;
// With a full ring the feeder sleeps until this much has been played, and
// then fills it up again: two wake-ups a second with a real device.
constexpr uint32_t REFILL_FRAMES = OUTPUT_RATE / 2;
// A sleep's longest wait (a wake-up that is not needed costs nothing).
constexpr unsigned WAIT_MILLISECONDS = 250;

} // namespace

Feeder::Feeder(PlannedStream &source, FrameRing &ring, AudioDevice &device)
    : source_(source), ring_(ring), device_(device), block_(2 * size_t(BLOCK_FRAMES)),
      thread_(&Feeder::run, this)
{
}

Feeder::~Feeder()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    ring_.wakeWriter();
    thread_.join();
}

void Feeder::seekBy(int64_t frames)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seekPending_ = true;
        seekFrames_ += frames;
    }
    ring_.wakeWriter();
}

void Feeder::addBlock()
{
    const uint32_t wanted = uint32_t(std::min<size_t>(BLOCK_FRAMES, ring_.writable()));
    const uint32_t got = source_.read(block_.data(), wanted);
    ring_.write(block_.data(), got);
    if (got < wanted)
        finished_.store(true, std::memory_order_release);
}

void Feeder::fillUp()
{
    while (ring_.writable() && !finished())
        addBlock();
}

void Feeder::run()
{
    raiseThreadPriority();
    device_.lock();
    ring_.restart(0);
    fillUp();
    device_.unlock();
    ready_.store(true, std::memory_order_release);
    for (;;) {
        bool seek = false;
        int64_t seekFrames = 0;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (stop_)
                return;
            std::swap(seek, seekPending_);
            std::swap(seekFrames, seekFrames_);
        }
        if (seek) {
            // Under the lock the callback is not running: the frame being
            // heard is exact, and the device waits for the new frames.
            device_.lock();
            const int64_t target = std::max<int64_t>(0, int64_t(ring_.heardPosition()) + seekFrames);
            ring_.restart(uint64_t(target));
            source_.seek(uint64_t(target));
            finished_.store(false, std::memory_order_release);
            fillUp();
            device_.unlock();
        } else if (!finished() && ring_.writable() >= BLOCK_FRAMES) {
            const bool behind = ring_.readable() < LOW_FRAMES;
            if (behind)
                device_.lock();
            addBlock();
            if (behind)
                device_.unlock();
        } else {
            // Until the device has played REFILL_FRAMES, or a command; once
            // the song is all in the ring, only a command.
            ring_.waitForSpace(finished() ? RING_FRAMES + 1 : REFILL_FRAMES, WAIT_MILLISECONDS);
        }
    }
}

} // namespace kvplay
