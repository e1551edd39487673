#include "tools/kvplay/library_jobs.h"

#include "tools/kvplay/length_plan.h"
#include "tools/kvplay/summary.h"

#include <cstdio>
#include <filesystem>
#include <memory>

namespace kvplay {
namespace {

// "3 songs, 0 to 2", "1 song, song 0"; `first` is the number of the first.
std::string counted(int count, const std::string &noun, int first)
{
    if (count == 1)
        return "1 " + noun + ", " + noun + " " + std::to_string(first);
    return std::to_string(count) + " " + noun + "s, " + std::to_string(first) + " to " +
           std::to_string(first + count - 1);
}

// A choice that does not fit the module: a usage error; returns 2.
int refuse(const RenderJob &job, const std::string &reason)
{
    return usageError(job.source.display + ": " + reason);
}

// The tracks (1-based) named by --mute and --solo must exist.
int checkTracks(const RenderJob &job, const PlayChoices &choices, int tracks)
{
    for (const std::vector<int> *list : {&choices.mute, &choices.solo})
        for (int track : *list)
            if (track > tracks)
                return refuse(job, "track " + std::to_string(track) + " is out of range: the module has " +
                                       counted(tracks, "track", 1));
    return -1;
}

// The start and the repeat must fit song `song` of `length`.
int checkSongLength(const RenderJob &job, const Options &options, int song, const dbmplay_song_length &length)
{
    const std::string name = "song " + std::to_string(song);
    uint64_t end = length.ending == DBMPLAY_SONG_STOPS ? length.frames : UINT64_MAX;
    if (options.choices.repeat && length.ending == DBMPLAY_SONG_LOOPS) {
        end = length.frames + uint64_t(*options.choices.repeat) * (length.frames - length.loop_start);
        if (end > DBMPLAY_MAX_SEEK_FRAMES)
            return refuse(job, "--repeat " + std::to_string(*options.choices.repeat) + " makes " + name +
                                   " longer than 4 hours");
    }
    const uint64_t start = options.choices.startFrame.value_or(0);
    if (start >= end && !options.seconds)
        return refuse(job, "--start " + clockTime(start) + " is past the end of " + name + " (" + clockTime(end) +
                               ")");
    return -1;
}

std::string outputName(const RenderJob &job, const PlayChoices &choices, int song, int stem)
{
    const std::filesystem::path output(job.output);
    std::string name = output.stem().string();
    if (choices.song || choices.allSongs)
        name += ".song" + std::to_string(song);
    if (stem >= 0) {
        char track[24];
        std::snprintf(track, sizeof track, ".track%02d", stem + 1);
        name += track;
    }
    return (output.parent_path() / (name + output.extension().string())).string();
}

// The jobs for one file: every song asked for, every stem.
int planFile(const Options &options, const RenderJob &job, std::vector<RenderJob> &planned)
{
    const PlayChoices &choices = options.choices;
    LibraryPlay play;
    PlayerPtr player = openLibraryPlayer(job.source);
    if (!player) {
        planned.push_back(job);
        planned.back().library = play;
        return -1;
    }
    const int songs = dbmplay_song_count(player.get());
    const int tracks = dbmplay_track_count(player.get());
    const int firstSong = choices.song.value_or(0);
    if (firstSong >= songs)
        return refuse(job, "song " + std::to_string(firstSong) + " is out of range: the module has " +
                               counted(songs, "song", 0));
    if (int status = checkTracks(job, choices, tracks); status >= 0)
        return status;
    play.heard.resize(size_t(tracks));
    std::vector<int> stems;
    for (int t = 0; t < tracks; ++t) {
        play.heard[size_t(t)] = choices.heard(t + 1);
        if (play.heard[size_t(t)] && choices.stems)
            stems.push_back(t);
    }
    if (!choices.stems)
        stems.push_back(-1);
    else if (stems.empty())
        return refuse(job, "--stems has no track to write: every track is muted");
    const int lastSong = choices.allSongs ? songs - 1 : firstSong;
    const size_t outputs = size_t(lastSong - firstSong + 1) * stems.size();
    if (!options.output.empty() && outputs > 1)
        return refuse(job, "-o names one output, but this makes " + std::to_string(outputs) + " (one per " +
                               (!choices.stems ? "song" : choices.allSongs ? "song and track" : "track") +
                               "); use -f to choose the format");

    for (int song = firstSong; song <= lastSong; ++song) {
        if (choices.startOrder && *choices.startOrder >= dbmplay_order_count(player.get(), song))
            return refuse(job, "order position " + std::to_string(*choices.startOrder) + " is out of range: song " +
                                   std::to_string(song) + " has " +
                                   counted(dbmplay_order_count(player.get(), song), "order position", 0));
        play.song = song;
        if (dbmplay_get_song_length(player.get(), song, &play.length) != DBMPLAY_OK)
            return refuse(job, "song " + std::to_string(song) + " cannot be played");
        if (int status = checkSongLength(job, options, song, play.length); status >= 0)
            return status;
        play.startFrame = choices.startFrame.value_or(0);
        play.startOrder = choices.startOrder.value_or(-1);
        play.repeat = choices.repeat;
        play.planned = true;
        for (int stem : stems) {
            RenderJob out = job;
            out.output = options.output.empty() ? outputName(job, choices, song, stem) : options.output;
            if (choices.song || choices.allSongs)
                out.source.display += " song " + std::to_string(song);
            if (stem >= 0)
                out.source.display += " track " + std::to_string(stem + 1);
            out.library = play;
            out.library->stem = stem;
            planned.push_back(std::move(out));
        }
    }
    return -1;
}

} // namespace

int planLibraryJobs(const Options &options, std::vector<RenderJob> &jobs)
{
    std::vector<RenderJob> planned;
    for (const RenderJob &job : jobs)
        if (int status = planFile(options, job, planned); status >= 0)
            return status;
    for (size_t i = 0; i < planned.size(); ++i)
        planned[i].index = unsigned(i);
    jobs = std::move(planned);
    return -1;
}

} // namespace kvplay
