#include "tools/kvplay/feeder.h"

#include <algorithm>
#include <chrono>

namespace kvplay {
namespace {

// Frames rendered at a time: a short hold of the device's lock.
constexpr uint32_t BLOCK_FRAMES = 1024;

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
    wake_.notify_one();
    thread_.join();
}

void Feeder::seekBy(int64_t frames)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        seekPending_ = true;
        seekFrames_ += frames;
    }
    wake_.notify_one();
}

void Feeder::addBlock()
{
    const uint32_t wanted = uint32_t(std::min<size_t>(BLOCK_FRAMES, ring_.writable()));
    const uint32_t got = source_.read(block_.data(), wanted);
    ring_.write(block_.data(), got);
    if (got < wanted)
        finished_.store(true, std::memory_order_release);
}

void Feeder::fillTo(size_t frames)
{
    while (ring_.readable() < frames && !finished())
        addBlock();
}

void Feeder::run()
{
    device_.lock();
    ring_.restart(0);
    fillTo(LOW_FRAMES);
    device_.unlock();
    ready_.store(true, std::memory_order_release);
    for (;;) {
        bool seek = false;
        int64_t seekFrames = 0;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            // Woken by a command; otherwise a look at the ring every 10 ms,
            // in which a real device plays less than half a block.
            if (!stop_ && !seekPending_ && (finished() || ring_.writable() < BLOCK_FRAMES))
                wake_.wait_for(lock, std::chrono::milliseconds(10));
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
            fillTo(LOW_FRAMES);
            device_.unlock();
        } else if (!finished() && ring_.writable() >= BLOCK_FRAMES) {
            const bool behind = ring_.readable() < LOW_FRAMES;
            if (behind)
                device_.lock();
            addBlock();
            if (behind)
                device_.unlock();
        }
    }
}

} // namespace kvplay
