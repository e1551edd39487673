#include "tools/kvplay/planned_stream.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace kvplay {
namespace {

// Frames [from, to) of a song of `fadeEnd` frames whose last `fadeFrames`
// fall linearly to silence.
void applyFade(int16_t *frames, uint64_t from, uint64_t to, uint64_t fadeEnd, uint64_t fadeFrames)
{
    if (!fadeFrames)
        return;
    const uint64_t fadeStart = fadeEnd - fadeFrames;
    for (uint64_t f = std::max(from, fadeStart); f < to; ++f) {
        const int64_t left = int64_t(fadeEnd - f);
        for (int c = 0; c < 2; ++c) {
            int16_t &s = frames[2 * (f - from) + c];
            s = int16_t(int64_t(s) * left / int64_t(fadeFrames));
        }
    }
}

// True when a sample of the stereo frame lies beyond +-QUIET_LEVEL.
bool loud(const int16_t *frame)
{
    return std::abs(frame[0]) > QUIET_LEVEL || std::abs(frame[1]) > QUIET_LEVEL;
}

} // namespace

PlannedStream::PlannedStream(FrameSource &source, const LengthPlan &plan)
    : source_(source), plan_(plan), piece_(2 * size_t(PIECE_FRAMES))
{
}

uint32_t PlannedStream::read(int16_t *out, uint32_t frames)
{
    uint32_t done = 0;
    while (done < frames) {
        const size_t waiting = ready_.size() / 2 - delivered_;
        if (waiting) {
            const uint32_t n = uint32_t(std::min<size_t>(frames - done, waiting));
            std::memcpy(out + 2 * size_t(done), ready_.data() + 2 * delivered_, 4 * size_t(n));
            delivered_ += n;
            done += n;
        } else if (!pullPiece()) {
            break;
        }
    }
    position_ += done;
    return done;
}

void PlannedStream::queue(const int16_t *frames, size_t count)
{
    ready_.insert(ready_.end(), frames, frames + 2 * count);
}

// The next piece of the source into ready_. In the song part every frame is
// delivered (faded out when the plan says so). In the tail, quiet frames
// wait in quiet_ until a loud one shows they belong to it; a quiet run of
// QUIET_FRAMES ends the tail and is left out; running out of tail frames
// (or of source) delivers the quiet ones waiting. False once everything
// is delivered.
bool PlannedStream::pullPiece()
{
    ready_.clear();
    delivered_ = 0;
    const int16_t *judged = nullptr;
    if (songPulled_ < plan_.songFrames && !sourceEnded_) {
        const uint32_t n = uint32_t(std::min<uint64_t>(PIECE_FRAMES, plan_.songFrames - songPulled_));
        const uint32_t got = source_.pull(piece_.data(), n, judged);
        sourceEnded_ = got < n;
        applyFade(piece_.data(), songPulled_, songPulled_ + got, plan_.songFrames, plan_.fadeFrames);
        songPulled_ += got;
        queue(piece_.data(), got);
        return got > 0;
    }
    if (tailDone_)
        return false;
    if (tailPulled_ >= plan_.tailFrames || sourceEnded_) {
        tailDone_ = true;
        ready_.swap(quiet_);
        return !ready_.empty();
    }
    const uint32_t n = uint32_t(std::min<uint64_t>(PIECE_FRAMES, plan_.tailFrames - tailPulled_));
    const uint32_t got = source_.pull(piece_.data(), n, judged);
    sourceEnded_ = got < n;
    tailPulled_ += got;
    size_t quietFrom = 0; // the frame after the piece's last loud one
    for (size_t f = 0; f < got; ++f) {
        if (loud(judged + 2 * f)) {
            queue(quiet_.data(), quiet_.size() / 2);
            quiet_.clear();
            queue(piece_.data() + 2 * quietFrom, f + 1 - quietFrom);
            quietFrom = f + 1;
        } else if (quiet_.size() / 2 + (f + 1 - quietFrom) >= QUIET_FRAMES) {
            tailDone_ = true;
            quiet_.clear();
            return true;
        }
    }
    quiet_.insert(quiet_.end(), piece_.begin() + 2 * std::ptrdiff_t(quietFrom),
                  piece_.begin() + 2 * std::ptrdiff_t(got));
    return true;
}

void PlannedStream::restart()
{
    source_.rewind();
    position_ = songPulled_ = tailPulled_ = 0;
    sourceEnded_ = tailDone_ = false;
    quiet_.clear();
    ready_.clear();
    delivered_ = 0;
}

void PlannedStream::seek(uint64_t frame)
{
    if (frame < position_)
        restart();
    std::vector<int16_t> discard(2 * size_t(PIECE_FRAMES));
    while (position_ < frame)
        if (!read(discard.data(), uint32_t(std::min<uint64_t>(PIECE_FRAMES, frame - position_))))
            break;
}

} // namespace kvplay
