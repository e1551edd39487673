// Live playback through SDL2: the playlist, the keys and the status line.

#include "tools/kvplay/audio_device.h"
#include "tools/kvplay/feeder.h"
#include "tools/kvplay/playback.h"
#include "tools/kvplay/song_clock.h"
#include "tools/kvplay/song_stream.h"
#include "tools/kvplay/static_core.h"
#include "tools/kvplay/status_line.h"
#include "tools/kvplay/stream_plugin.h"
#include "tools/kvplay/summary.h"
#include "tools/kvplay/terminal_keys.h"

#include <unistd.h>

#include <cstdio>

namespace kvplay {
namespace {

constexpr int64_t SEEK_FRAMES = 10 * int64_t(OUTPUT_RATE);
constexpr int VOLUME_STEP = 10;
constexpr int STATUS_MILLISECONDS = 200; // the status line is redrawn five times a second
constexpr int START_MILLISECONDS = 5;    // until the device starts, a closer look
constexpr const char *HELP = "keys: space pause/resume, q quit, n next file, p previous file, "
                             "\xe2\x86\x90/\xe2\x86\x92 10 s back/forward, +/- volume, h this help";

enum class Ending { Played, Next, Previous, Quit, Failed };

struct Session {
    const Options &options;
    const StreamPlugin &plugin;
    FrameRing &ring;
    AudioDevice &device;
    TerminalKeys &keys;
    StatusLine &status;
};

std::string statusText(const Session &s, const RenderJob &job, const LengthPlan &plan, uint64_t heard,
                       const SongPosition &at)
{
    std::string text = job.source.display + "  " + clockTime(heard) + " / " + clockTime(plan.songFrames);
    if (heard >= plan.songFrames && plan.tailFrames)
        text += "  echo tail";
    else if (at.known)
        text += "  order " + std::to_string(at.order) + "/" + std::to_string(at.orderCount) + " pattern " +
                std::to_string(at.pattern) + " row " + std::to_string(at.row) + "/" + std::to_string(at.rowCount);
    text += "  vol " + std::to_string(s.device.volume()) + "%";
    if (s.device.paused())
        text += "  paused";
    return text;
}

// Follows one song from its feeder's start to its end or a key.
Ending follow(Session &s, const RenderJob &job, const LengthPlan &plan, Feeder &feeder, SongClock &clock)
{
    for (;;) {
        if (feeder.ready())
            s.device.start();
        if (feeder.finished() && s.ring.readable() == 0)
            return Ending::Played;
        if (s.keys.signal())
            return Ending::Quit;
        int64_t seek = 0; // the keys of one read move once, by their sum
        for (Key key : s.keys.wait(feeder.ready() ? STATUS_MILLISECONDS : START_MILLISECONDS)) {
            switch (key) {
            case Key::Quit: return Ending::Quit;
            case Key::Next: return Ending::Next;
            case Key::Previous: return Ending::Previous;
            case Key::Pause: s.device.setPaused(!s.device.paused()); break;
            case Key::Back: seek -= SEEK_FRAMES; break;
            case Key::Forward: seek += SEEK_FRAMES; break;
            case Key::Louder: s.device.setVolume(s.device.volume() + VOLUME_STEP); break;
            case Key::Quieter: s.device.setVolume(s.device.volume() - VOLUME_STEP); break;
            case Key::Help: s.status.message(HELP); break;
            }
        }
        if (seek)
            feeder.seekBy(seek);
        const uint64_t heard = s.ring.heardPosition();
        s.status.show(statusText(s, job, plan, heard, clock.at(heard)));
    }
}

Ending playOne(Session &s, const RenderJob &job)
{
    const std::string &name = job.source.display;
    std::string error;
    std::unique_ptr<SongStream> song =
        openSong(job, s.options, s.plugin, [&](const std::string &line) { s.status.message(line); }, error);
    if (!song) {
        s.status.message("kvplay: " + error);
        return Ending::Failed;
    }
    if (!song->module) { // the clock's copy; without it the status line shows no position
        std::string reason;
        bool endsEarly = false;
        song->module = loadModuleFile(job.source, reason, endsEarly);
    }
    Ending ending;
    uint64_t heard;
    {
        SongClock clock(song->module.get(), song->song, song->start);
        Feeder feeder(*song->frames, s.ring, s.device);
        ending = follow(s, job, song->plan, feeder, clock);
        heard = s.ring.heardPosition();
    }
    // What is left of this song in the ring is not played.
    s.device.lock();
    s.ring.restart(0);
    s.device.unlock();
    if (!s.options.quiet) {
        const std::string of = clockTime(heard) + " of " + clockTime(song->plan.songFrames);
        s.status.message(name + (ending == Ending::Played ? ": played to the end, " + clockTime(heard)
                                 : ending == Ending::Quit ? ": stopped at " + of
                                                          : ": skipped at " + of));
    }
    return ending;
}

} // namespace

int playModules(const std::vector<RenderJob> &jobs, const Options &options, const StreamPlugin &plugin)
{
    TerminalKeys keys; // first: the threads started below leave the stopping signals to this one
    FrameRing ring(Feeder::RING_FRAMES);
    std::string error;
    std::unique_ptr<AudioDevice> device = AudioDevice::open(options.device, ring, error);
    if (!device) {
        std::fprintf(stderr, "kvplay: no audio output device: %s\n", error.c_str());
        return 1;
    }
    StatusLine status(!options.quiet && isatty(STDERR_FILENO));
    if (keys.active() && !options.quiet)
        status.message("kvplay: playing through " + device->driver() + "; h for the keys");
    Session session{options, plugin, ring, *device, keys, status};
    bool failed = false;
    for (size_t i = 0; i < jobs.size();) {
        const Ending ending = playOne(session, jobs[i]);
        failed = failed || ending == Ending::Failed;
        if (ending == Ending::Quit)
            break;
        i = ending == Ending::Previous ? (i ? i - 1 : 0) : i + 1;
    }
    status.clear();
    if (keys.interrupted())
        return 128 + SIGINT;
    if (keys.signal())
        return 128 + keys.signal();
    return failed ? 1 : 0;
}

int listOutputDevices()
{
    std::vector<std::string> names;
    std::string error;
    if (!listAudioDevices(names, error)) {
        std::fprintf(stderr, "kvplay: no audio output device: %s\n", error.c_str());
        return 1;
    }
    if (names.empty()) {
        std::fprintf(stderr, "kvplay: no audio output device: the sound system lists none\n");
        return 1;
    }
    for (const std::string &name : names)
        std::printf("%s\n", name.c_str());
    return 0;
}

} // namespace kvplay
