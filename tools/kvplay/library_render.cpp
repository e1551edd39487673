#include "tools/kvplay/library_render.h"

#include "tools/kvplay/audio_output.h"
#include "tools/kvplay/frame_shaping.h"
#include "tools/kvplay/load_error.h"
#include "tools/kvplay/progress.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace kvplay {
namespace {

constexpr size_t BLOCK_FRAMES = 4096;

struct PlayerCloser {
    void operator()(dbmplay_player *player) const { dbmplay_close(player); }
};
using PlayerPtr = std::unique_ptr<dbmplay_player, PlayerCloser>;

// Opens the job's module and puts the player at the job's start point with
// the tracks of `only` heard (-1: every heard track). Sets `start` to the
// start point's frame in the song. Null with `reason` set on failure.
PlayerPtr startPlayer(const RenderJob &job, int only, uint64_t &start, std::string &reason)
{
    const LibraryPlay &play = *job.library;
    int code = 0;
    PlayerPtr player(openLibraryPlayer(job.source, play, code));
    if (!player || !play.planned) {
        reason = player ? "it changed while kvplay ran" : describeLoadError(code, job.source);
        return nullptr;
    }
    if (dbmplay_select_song(player.get(), play.song) != DBMPLAY_OK) {
        reason = "not enough memory";
        return nullptr;
    }
    for (int t = 0; t < dbmplay_track_count(player.get()); ++t) {
        const bool heard = only < 0 ? size_t(t) < play.heard.size() && play.heard[size_t(t)] : t == only;
        dbmplay_mute_track(player.get(), t, !heard);
    }
    // A voice that finds no memory on the way is left out, as in rendering;
    // a seek that could not start stays at frame 0.
    const int sought = play.startOrder >= 0 ? dbmplay_seek_order(player.get(), play.startOrder)
                                            : dbmplay_seek(player.get(), play.startFrame);
    dbmplay_position position{};
    dbmplay_get_position(player.get(), &position);
    if (sought != DBMPLAY_OK && position.frame == 0 && (play.startOrder > 0 || play.startFrame > 0)) {
        reason = "not enough memory";
        return nullptr;
    }
    if (play.startOrder > 0 && position.frame == 0) {
        reason = "song " + std::to_string(play.song) + " never reaches order position " +
                 std::to_string(play.startOrder);
        return nullptr;
    }
    start = position.frame;
    return player;
}

LengthPlan planFrom(const LibraryPlay &play, uint64_t start, std::optional<double> seconds, double tail)
{
    const dbmplay_song_length &length = play.length;
    if (play.repeat && length.ending == DBMPLAY_SONG_LOOPS && !seconds) {
        const uint64_t end = length.frames + uint64_t(*play.repeat) * (length.frames - length.loop_start);
        return {end - start + LONGEST_FADE, 0, LONGEST_FADE};
    }
    dbm::SongDuration duration{};
    duration.valid = true;
    duration.stops = length.ending == DBMPLAY_SONG_STOPS;
    duration.frames = duration.stops ? length.frames - std::min(start, length.frames) : length.frames;
    return planLength(duration, seconds, tail);
}

// Pulls the output's frames and, for a stem, the heard mix beside it, whose
// sound decides where the tail ends.
class LibraryRenderer {
public:
    LibraryRenderer(dbmplay_player *out, dbmplay_player *guide, AudioOutput &output, Progress &progress,
                    unsigned index)
        : out_(out), guide_(guide), output_(output), progress_(progress), index_(index),
          outBlock_(2 * BLOCK_FRAMES), guideBlock_(guide ? 2 * BLOCK_FRAMES : 0)
    {
    }

    // Exactly `frames` frames, the last `fadeFrames` faded out.
    bool song(uint64_t frames, uint64_t fadeFrames)
    {
        for (uint64_t done = 0; done < frames;) {
            const size_t n = size_t(std::min<uint64_t>(BLOCK_FRAMES, frames - done));
            render(n);
            applyFade(outBlock_.data(), done, done + n, frames, fadeFrames);
            if (!write(outBlock_.data(), n))
                return false;
            done += n;
        }
        return true;
    }

    // Up to `frames` more, ended by SILENCE_FRAMES of silence in the mix,
    // which are left out.
    bool tail(uint64_t frames)
    {
        std::vector<int16_t> pending; // frames after the mix's last sound, not yet written
        for (uint64_t done = 0; done < frames;) {
            const size_t n = size_t(std::min<uint64_t>(BLOCK_FRAMES, frames - done));
            render(n);
            done += n;
            const size_t audible = audibleEnd(guide_ ? guideBlock_.data() : outBlock_.data(), n);
            if (audible) {
                if (!write(pending.data(), pending.size() / 2) || !write(outBlock_.data(), audible))
                    return false;
                pending.clear();
            }
            pending.insert(pending.end(), outBlock_.begin() + 2 * std::ptrdiff_t(audible),
                           outBlock_.begin() + 2 * std::ptrdiff_t(n));
            if (pending.size() / 2 >= SILENCE_FRAMES)
                return true;
        }
        return write(pending.data(), pending.size() / 2);
    }

private:
    void render(size_t frames)
    {
        // A note that finds no memory is left out; the rest plays on.
        dbmplay_render(out_, outBlock_.data(), frames);
        if (guide_)
            dbmplay_render(guide_, guideBlock_.data(), frames);
        progress_.advance(index_, frames);
    }

    bool write(const int16_t *frames, size_t count) { return !count || output_.write(frames, count); }

    dbmplay_player *out_;
    dbmplay_player *guide_;
    AudioOutput &output_;
    Progress &progress_;
    unsigned index_;
    std::vector<int16_t> outBlock_;
    std::vector<int16_t> guideBlock_;
};

} // namespace

bool renderThroughLibrary(const RenderJob &job, std::optional<double> seconds, double tail, Progress &progress,
                          std::string &error)
{
    const LibraryPlay &play = *job.library;
    std::string reason;
    uint64_t start = 0;
    PlayerPtr out = startPlayer(job, play.stem, start, reason);
    PlayerPtr guide = out && play.stem >= 0 ? startPlayer(job, -1, start, reason) : nullptr;
    if (!out || (play.stem >= 0 && !guide)) {
        error = job.display + ": " + reason;
        return false;
    }
    const LengthPlan plan = planFrom(play, start, seconds, tail);
    const bool repeats = play.repeat && play.length.ending == DBMPLAY_SONG_LOOPS && !seconds;
    const bool firstOutput = play.stem == int(std::find(play.heard.begin(), play.heard.end(), true) -
                                              play.heard.begin()) || play.stem < 0;
    if (play.length.ending != DBMPLAY_SONG_STOPS && !repeats && firstOutput) {
        char line[160];
        const bool loops = play.length.ending == DBMPLAY_SONG_LOOPS;
        std::snprintf(line, sizeof line, ": the song %s; rendering %g seconds with a fade-out%s",
                      loops ? "loops for ever" : "never stops", double(plan.songFrames) / OUTPUT_RATE,
                      loops ? " (--repeat N plays its loop N more times)" : "");
        progress.message(job.display + line);
    }

    std::unique_ptr<AudioOutput> output = openAudioOutput(job.output, job.raw, reason);
    if (!output) {
        error = job.display + ": " + reason;
        return false;
    }
    progress.begin(job.index, job.display, plan.songFrames + plan.tailFrames);
    LibraryRenderer renderer(out.get(), guide.get(), *output, progress, job.index);
    bool ok = renderer.song(plan.songFrames, plan.fadeFrames) && renderer.tail(plan.tailFrames);
    ok = output->finish() && ok;
    progress.end(job.index);
    if (!ok) {
        error = job.display + ": cannot write " + job.output;
        if (job.output != "-")
            std::remove(job.output.c_str());
    }
    return ok;
}

} // namespace kvplay
