// openSong's half for the player library (song_stream.h): the song chosen,
// from its start point, with the heard tracks (or one stem). The length
// follows the plug-in's rules counted from the start point (the song's end
// and its echo tail, or --seconds, or 300 seconds faded out for a song that
// never stops), except that with --repeat a looping song ends `repeat`
// loops after its first pass and then fades out over two more seconds. A
// stem ends where the mix of the heard tracks does.

#include "host/memory_budget.h"
#include "tools/kvplay/load_error.h"
#include "tools/kvplay/song_stream.h"

#include <algorithm>
#include <vector>

namespace kvplay {
namespace {

// Memory the player could not get: "out of memory", naming --memory-limit
// when our host refused it since `refusals`.
std::string memoryFailure(uint64_t refusals)
{
    return outOfMemory(kvhost::budgetRefusals() != refusals);
}

// The reason the job's module cannot be opened, as the static core's reader
// words it (the library's reader gives only a code).
std::string openFailure(const RenderJob &job, uint64_t refusals)
{
    std::string reason;
    bool endsEarly = false;
    return loadModuleFile(job.source, reason, endsEarly) ? memoryFailure(refusals) : reason;
}

// Opens the job's module and puts the player at the job's start point with
// the tracks of `only` heard (-1: every heard track). Sets `start` to the
// start point's frame in the song. Null with `reason` set on failure.
PlayerPtr startPlayer(const RenderJob &job, int only, uint64_t &start, std::string &reason)
{
    const LibraryPlay &play = *job.library;
    const uint64_t refusals = kvhost::budgetRefusals();
    PlayerPtr player = openLibraryPlayer(job.source);
    if (!player || !play.planned) {
        reason = player ? "it changed while kvplay ran" : openFailure(job, refusals);
        return nullptr;
    }
    if (dbmplay_select_song(player.get(), play.song) != DBMPLAY_OK) {
        reason = memoryFailure(refusals);
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
        reason = memoryFailure(refusals);
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

LengthPlan planFrom(const LibraryPlay &play, uint64_t start, const Options &options)
{
    const dbmplay_song_length &length = play.length;
    if (play.repeat && length.ending == DBMPLAY_SONG_LOOPS && !options.seconds) {
        const uint64_t end = length.frames + uint64_t(*play.repeat) * (length.frames - length.loop_start);
        return {end - start + LONGEST_FADE, 0, LONGEST_FADE};
    }
    dbm::SongDuration duration{};
    duration.valid = true;
    duration.stops = length.ending == DBMPLAY_SONG_STOPS;
    duration.frames = duration.stops ? length.frames - std::min(start, length.frames) : length.frames;
    return planLength(duration, options.seconds, options.tail.value_or(DEFAULT_TAIL));
}

// The output's player, and for a stem the heard mix beside it, whose sound
// decides where the tail ends. Both start at frame `start` of the song.
class LibrarySource : public FrameSource {
public:
    LibrarySource(PlayerPtr out, PlayerPtr mix, uint64_t start)
        : out_(std::move(out)), mix_(std::move(mix)), start_(start), mixBlock_(mix_ ? 2 * size_t(PIECE_FRAMES) : 0)
    {
    }

    uint32_t pull(int16_t *out, uint32_t frames, const int16_t *&judged) override
    {
        // A note that finds no memory is left out; the rest plays on.
        dbmplay_render(out_.get(), out, frames);
        judged = out;
        if (mix_) {
            dbmplay_render(mix_.get(), mixBlock_.data(), frames);
            judged = mixBlock_.data();
        }
        return frames;
    }

    // Exact, as the first start was; a seek that finds no memory leaves the
    // player where it was, as a voice without memory is left out.
    void rewind() override
    {
        dbmplay_seek(out_.get(), start_);
        if (mix_)
            dbmplay_seek(mix_.get(), start_);
    }

private:
    PlayerPtr out_;
    PlayerPtr mix_;
    uint64_t start_;
    std::vector<int16_t> mixBlock_;
};

} // namespace

std::unique_ptr<SongStream> openLibrarySong(const RenderJob &job, const Options &options, const Notice &notice,
                                            std::string &error)
{
    const LibraryPlay &play = *job.library;
    const std::string &name = job.source.display;
    std::string reason;
    uint64_t start = 0;
    PlayerPtr out = startPlayer(job, play.stem, start, reason);
    PlayerPtr mix = out && play.stem >= 0 ? startPlayer(job, -1, start, reason) : nullptr;
    if (!out || (play.stem >= 0 && !mix)) {
        error = name + ": " + reason;
        return nullptr;
    }
    auto song = std::make_unique<SongStream>();
    song->plan = planFrom(play, start, options);
    const bool repeats = play.repeat && play.length.ending == DBMPLAY_SONG_LOOPS && !options.seconds;
    const bool firstOutput = play.stem == int(std::find(play.heard.begin(), play.heard.end(), true) -
                                              play.heard.begin()) || play.stem < 0;
    if (play.length.ending != DBMPLAY_SONG_STOPS && !repeats && firstOutput)
        notice(endlessSongNotice(name, song->plan.songFrames,
                                 play.length.ending == DBMPLAY_SONG_LOOPS && !options.seconds, options.play));
    song->about.songs = unsigned(dbmplay_song_count(out.get()));
    song->about.echo = dbmplay_uses_echo(out.get()) != 0;
    song->song = play.song;
    song->start = start;
    song->source = std::make_unique<LibrarySource>(std::move(out), std::move(mix), start);
    return song;
}

} // namespace kvplay
