#include "tools/kvplay/planned_stream.h"

#include "tools/kvplay/stream_plugin.h"

#include <algorithm>
#include <cstring>

namespace kvplay {
namespace {

// The stream is pulled in pieces of this many frames (fewer at the song's
// end), whatever the reader asks for: the frames depend on the pieces (a
// track whose sample ends stops after the piece in which it ended), and so
// does where a silent run that ends the tail is noticed.
constexpr uint32_t PIECE_FRAMES = 4096;

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

// Index after the last frame with a non-zero sample, 0 if all are silent.
size_t audibleEnd(const int16_t *frames, size_t count)
{
    for (size_t f = count; f > 0; --f)
        if (frames[2 * f - 2] || frames[2 * f - 1])
            return f;
    return 0;
}

} // namespace

PlannedStream::PlannedStream(const StreamPlugin &plugin, void *stream, const LengthPlan &plan)
    : plugin_(plugin), stream_(stream), plan_(plan), piece_(2 * size_t(PIECE_FRAMES))
{
}

uint32_t PlannedStream::read(int16_t *out, uint32_t frames)
{
    uint32_t done = 0;
    while (done < frames) {
        int16_t *to = out + 2 * size_t(done);
        if (zerosOwed_) {
            const uint32_t n = uint32_t(std::min<uint64_t>(frames - done, zerosOwed_));
            std::memset(to, 0, 4 * size_t(n));
            zerosOwed_ -= n;
            done += n;
        } else if (delivered_ < queued_) {
            const uint32_t n = uint32_t(std::min<size_t>(frames - done, queued_ - delivered_));
            std::memcpy(to, piece_.data() + 2 * delivered_, 4 * size_t(n));
            delivered_ += n;
            done += n;
        } else if (!pullPiece()) {
            break;
        }
    }
    position_ += done;
    return done;
}

// The next piece of the stream. In the song part every frame is delivered
// (faded out when the plan says so). In the tail, sound is delivered
// together with the silence before it; a silent run of SILENCE_FRAMES ends
// the tail and is left out; running out of tail frames (or stream) delivers
// the pending silence and ends it. False once everything is delivered.
bool PlannedStream::pullPiece()
{
    delivered_ = queued_ = 0;
    if (songPulled_ < plan_.songFrames && !streamEnded_) {
        const uint32_t n = uint32_t(std::min<uint64_t>(PIECE_FRAMES, plan_.songFrames - songPulled_));
        const uint32_t got = plugin_.pull(stream_, piece_.data(), n);
        streamEnded_ = got < n;
        applyFade(piece_.data(), songPulled_, songPulled_ + got, plan_.songFrames, plan_.fadeFrames);
        songPulled_ += got;
        queued_ = got;
        return true;
    }
    if (tailDone_)
        return false;
    if (tailPulled_ >= plan_.tailFrames || streamEnded_) {
        zerosOwed_ = pendingSilence_;
        pendingSilence_ = 0;
        tailDone_ = true;
        return zerosOwed_ > 0;
    }
    const uint32_t n = uint32_t(std::min<uint64_t>(PIECE_FRAMES, plan_.tailFrames - tailPulled_));
    const uint32_t got = plugin_.pull(stream_, piece_.data(), n);
    streamEnded_ = got < n;
    tailPulled_ += got;
    const size_t audible = audibleEnd(piece_.data(), got);
    queued_ = audible;
    if (audible) {
        zerosOwed_ = pendingSilence_;
        pendingSilence_ = got - audible;
    } else {
        pendingSilence_ += got;
    }
    if (pendingSilence_ >= SILENCE_FRAMES)
        tailDone_ = true;
    return true;
}

void PlannedStream::restart()
{
    plugin_.rewind(stream_);
    position_ = songPulled_ = tailPulled_ = pendingSilence_ = zerosOwed_ = 0;
    streamEnded_ = tailDone_ = false;
    queued_ = delivered_ = 0;
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
