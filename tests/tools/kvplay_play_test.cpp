// kvplay --play end to end, through the real SDL2 library: its disk driver
// stands in for the sound device and writes every byte it is given to a
// file, which must be kvplay's rendering of the same module (with silence
// around it), cut where keys typed on a terminal moved or paused it.

#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

using kvplaytest::Workspace;

constexpr size_t SEEK_FRAMES = 10 * 44100;

// Two tracks, one of them silent; the looped sample never crosses zero, a different note on
// each row: the song is never silent and no ten seconds of it repeat.
modwriter::ModuleSpec toneModule(unsigned orders, bool echo)
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(2);
    desc.samples[0].frames.clear();
    for (int i = 0; i < 64; ++i)
        desc.samples[0].frames.push_back(2000 + 100 * i);
    desc.instruments[0].loopLength = 64;
    for (unsigned row = 0; row < 64; ++row) {
        modwriter::Cell &cell = desc.patterns[0].at(row, 0, 2);
        cell = {uint8_t(row % 12), uint8_t(3 + row / 12 % 3), 1};
    }
    desc.songs[0].orders.assign(orders, 0);
    desc.dspe = echo;
    desc.echoTrackBytes = {0, 0};
    return desc;
}

// Stereo 16-bit frames as 32-bit words.
std::vector<uint32_t> frames(const std::string &bytes)
{
    std::vector<uint32_t> out(bytes.size() / 4);
    std::memcpy(out.data(), bytes.data(), out.size() * 4);
    return out;
}

std::string slurp(const Workspace &w, const std::string &name)
{
    const std::vector<uint8_t> bytes = w.read(name);
    return std::string(bytes.begin(), bytes.end());
}

// How the device's frames are made of the rendering: silence before the
// start and after the end, runs of silence where it was paused, and jumps of
// whole multiples of `jump` frames ahead or back (counted in `jump`s); `ok`
// is false when they are made otherwise.
struct Splices {
    bool ok = true;
    int jumps = 0, pauses = 0;
    size_t renderEnd = 0; // rendered frames followed to here
};

Splices follow(const std::vector<uint32_t> &device, const std::vector<uint32_t> &render, size_t jump)
{
    Splices s;
    size_t d = 0, r = 0;
    while (d < device.size() && device[d] == 0)
        ++d;
    while (d < device.size() && s.ok) {
        if (r < render.size() && device[d] == render[r]) {
            ++d, ++r;
        } else if (device[d] == 0) {
            while (d < device.size() && device[d] == 0)
                ++d;
            s.pauses += d < device.size();
        } else {
            // Keys read together move once, by their sum.
            s.ok = false;
            for (int64_t k : {1, 2, 3, -1, -2, -3}) {
                const int64_t to = int64_t(r) + k * int64_t(jump);
                if (to >= 0 && to < int64_t(render.size()) && device[d] == render[size_t(to)]) {
                    r = size_t(to);
                    s.jumps += int(k < 0 ? -k : k);
                    s.ok = true;
                    break;
                }
            }
        }
    }
    s.renderEnd = r;
    return s;
}

// A step of a session on the terminal: once the screen shows a match of
// `after` (a grep pattern), wait `seconds`, then type `keys` (printf's form).
struct Step {
    const char *after, *seconds, *keys;
};

// Plays tone.dbm in `w` on a terminal that util-linux's script provides,
// typing the steps' keys, the disk driver pausing 10 ms per 1024 frames
// (about twice real time). Leaves what the device got in device.raw,
// kvplay's exit status in status, and stty -g before and after.
void playOnTerminal(const Workspace &w, const std::vector<Step> &steps)
{
    std::string typing = "cd '" + w.path("").string() + "' && rm -f screen && (i=0";
    for (const Step &step : steps) // each wait gives up after a minute
        typing += std::string("; until grep -Eqas '") + step.after + "' screen || [ $((i += 1)) -gt 1200 ]; do sleep 0.05; done; sleep " +
                  step.seconds + "; printf '" + step.keys + "'";
    const std::string command = typing + ") | script -qfec \"stty -g > before; SDL_AUDIODRIVER=disk "
        "SDL_DISKAUDIOFILE=device.raw SDL_DISKAUDIODELAY=10 '" KVPLAY_PATH "' --play tone.dbm; echo \\$? > status; "
        "stty -g > after\" /dev/null > screen";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

std::string clock(size_t frames)
{
    const size_t tenths = (frames * 10 + 22050) / 44100; // "m:ss.t", to the nearest tenth
    char text[32];
    std::snprintf(text, sizeof text, "%zu:%02zu.%zu", tenths / 600, tenths / 10 % 60, tenths % 10);
    return text;
}

TEST(KvplayPlay, TheDeviceGetsExactlyTheRenderedBytesThenSilence)
{
    Workspace w;
    w.write("tone.dbm", toneModule(2, true));
    const kvplaytest::Outcome rendered = w.kvplay("--raw -o - tone.dbm");
    const kvplaytest::Outcome run =
        w.kvplay("SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=device.raw SDL_DISKAUDIODELAY=0 --play tone.dbm");
    ASSERT_TRUE(rendered.status == 0 && run.status == 0) << rendered.errors << run.errors;
    const std::vector<uint32_t> render = frames(rendered.output), device = frames(slurp(w, "device.raw"));
    EXPECT_EQ(run.errors, "tone.dbm: played to the end, " + clock(render.size()) + "\n");
    // Silence while the device starts, the song's frames, then silence only.
    const size_t start = size_t(std::find_if(device.begin(), device.end(), [](uint32_t f) { return f != 0; }) - device.begin());
    ASSERT_GE(device.size(), start + render.size());
    EXPECT_TRUE(std::equal(render.begin(), render.end(), device.begin() + std::ptrdiff_t(start)));
    EXPECT_TRUE(std::all_of(device.begin() + std::ptrdiff_t(start + render.size()), device.end(), [](uint32_t f) { return f == 0; }));
}

TEST(KvplayPlay, KeysOnTheTerminalSeekExactlyPauseWithSilenceAndQuit)
{
    const char *const PLAYED_A_SECOND = "  0:0[1-9][.]", *const STATUS = " / ";
    const struct {
        const char *label;
        std::vector<Step> steps;
        int jumps, pauses;
        const char *status;
    } cases[] = {
        {"right twice then q: 20 s are skipped, then it stops",
         {{PLAYED_A_SECOND, "0", "\\033[C\\033[C"}, {STATUS, "0.3", "q"}}, 2, 0, "0\n"},
        {"right, then left: on 10 s, then back 10 s from where it is heard",
         {{PLAYED_A_SECOND, "0", "\\033[C"}, {STATUS, "0.1", "\\033[D"}, {STATUS, "0.3", "q"}}, 2, 0, "0\n"},
        {"space, space: only silence in between", {{PLAYED_A_SECOND, "0", " "}, {"paused", "0.5", " "}, {STATUS, "0.3", "q"}},
         0, 1, "0\n"},
        {"Ctrl-C stops with the status of SIGINT", {{PLAYED_A_SECOND, "0", "\\003"}}, 0, 0, "130\n"},
    };
    Workspace w;
    w.write("tone.dbm", toneModule(6, false));
    const std::vector<uint32_t> render = frames(w.kvplay("--raw -o - tone.dbm").output);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.label);
        playOnTerminal(w, c.steps);
        const Splices splices = follow(frames(slurp(w, "device.raw")), render, SEEK_FRAMES);
        EXPECT_TRUE(splices.ok);
        EXPECT_EQ(splices.jumps, c.jumps);
        EXPECT_EQ(splices.pauses, c.pauses);
        EXPECT_LT(splices.renderEnd, render.size()) << "it stopped before the end";
        EXPECT_EQ(slurp(w, "status"), c.status);
        EXPECT_EQ(slurp(w, "after"), slurp(w, "before"));
        EXPECT_FALSE(slurp(w, "before").empty());
    }
}

TEST(KvplayPlay, WithoutAUsableDeviceOneLineAndStatusOne)
{
    Workspace w;
    w.write("tone.dbm", toneModule(1, false));
    const char *cases[][2] = {
        {"SDL_AUDIODRIVER=disk --play --device nosuchdevice", "nosuchdevice: no such device"}, // a device not listed
        {"SDL_AUDIODRIVER=alsa --play", "ALSA"},                 // ALSA without a sound card
        {"SDL_AUDIODRIVER=nosuchdriver --play", "nosuchdriver"}, // a sound system that is not there
    };
    const bool soundCard = std::ifstream("/proc/asound/cards").peek() == ' ';
    for (const auto &c : cases) {
        if (soundCard && std::strstr(c[0], "alsa"))
            continue;
        const kvplaytest::Outcome run = w.kvplay("SDL_DISKAUDIOFILE=device.raw " + std::string(c[0]) + " tone.dbm");
        EXPECT_EQ(run.status, 1) << c[0];
        EXPECT_EQ(run.errors.rfind("kvplay: no audio output device: ", 0), 0u) << run.errors;
        EXPECT_NE(run.errors.find(c[1]), std::string::npos) << run.errors;
        EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
        EXPECT_FALSE(w.exists("device.raw"));
    }
}

} // namespace
