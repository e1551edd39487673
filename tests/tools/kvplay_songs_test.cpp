// kvplay's song and track choices, rendered through the library, against
// the plug-in's stream of modules made to play the same thing as song 0.

#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using kvplaytest::Audio;
using kvplaytest::Workspace;
using Samples = std::vector<int16_t>;

constexpr size_t ROW = 6 * 882; // frames of a row at speed 6, tempo 125

// Four tracks (echo on 1 and 3), three 16-row patterns with notes on every
// track, and songs {0, 1}, {1, 2}, {2, 0}; `alone` >= 0 keeps only that song.
modwriter::ModuleSpec songsModule(int alone = -1)
{
    modwriter::ModuleSpec m = modwriter::minimalModule(4);
    m.instruments[0].volume = 24; // nothing clips
    m.dspe = true;
    m.echoTrackBytes = {0, 1, 0, 1};
    m.patterns.assign(3, modwriter::PatternSpec{});
    for (unsigned p = 0; p < 3; ++p) {
        m.patterns[p].rows = 16;
        for (unsigned row = p; row < 16; row += 3) {
            modwriter::Cell &cell = m.patterns[p].at(row, (row + p) % 4, 4);
            cell.octave = uint8_t(3 + row % 3);
            cell.note = uint8_t((row * 5 + p) % 12);
            cell.instrument = 1;
        }
    }
    m.songs = {{"A", {0, 1}}, {"B", {1, 2}}, {"C", {2, 0}}};
    if (alone >= 0)
        m.songs = {m.songs[size_t(alone)]};
    return m;
}

Samples samples(const Workspace &w, const std::string &name, size_t fromFrame = 0)
{
    Audio audio = w.audio(name);
    EXPECT_EQ(audio.channels, 2) << name;
    return Samples(audio.samples.begin() + std::ptrdiff_t(std::min(2 * fromFrame, audio.samples.size())),
                   audio.samples.end());
}

void run(const Workspace &w, const std::string &arguments)
{
    kvplaytest::Outcome outcome = w.kvplay("-q --force " + arguments);
    ASSERT_EQ(outcome.status, 0) << arguments << "\n" << outcome.errors;
}

class KvplaySongs : public ::testing::Test {
protected:
    void SetUp() override
    {
        w.write("three.dbm", songsModule());
        for (int song = 0; song < 3; ++song)
            w.write("alone" + std::to_string(song) + ".dbm", songsModule(song));
        run(w, "three.dbm alone0.dbm alone1.dbm alone2.dbm");
    }
    Workspace w;
};

TEST_F(KvplaySongs, EachChoiceWritesTheBytesOfItsIndependentForm)
{
    struct Case {
        const char *arguments, *output, *expected;
        size_t fromFrame;
        const char *statement;
    } cases[] = {
        {"--song 2", "three.song2.wav", "alone2.wav", 0, "song 2 is that song made song 0"},
        {"--all-songs", "three.song0.wav", "alone0.wav", 0, "every song to its own file"},
        {"--all-songs", "three.song1.wav", "alone1.wav", 0, ""},
        {"--all-songs", "three.song2.wav", "alone2.wav", 0, ""},
        {"--start 1.5 -o s1.wav", "s1.wav", "three.wav", 66150, "a start on a tick's edge"},
        {"--start 0:00.01 -o s2.wav", "s2.wav", "three.wav", 441, "a start inside a tick"},
        {"--start-order 1 -o s3.wav", "s3.wav", "three.wav", 16 * ROW, "order 1 follows 16 rows"},
        {"--song 1 --start-order 1 -o b1.wav", "b1.wav", "alone1.wav", 16 * ROW, "in another song"},
    };
    for (const Case &c : cases) {
        const Samples expected = samples(w, c.expected, c.fromFrame);
        run(w, std::string(c.arguments) + " three.dbm");
        EXPECT_EQ(samples(w, c.output), expected) << c.arguments << ": " << c.statement;
    }
}

TEST_F(KvplaySongs, MutesSolosAndStemsAreTheMixWithOnlyThoseTracks)
{
    run(w, "--solo 3 -o solo.wav three.dbm");
    run(w, "--mute 1,2,4 -o muted.wav three.dbm");
    EXPECT_EQ(samples(w, "solo.wav"), samples(w, "muted.wav"));
    run(w, "--mute 4,3,2,1 -o silent.wav three.dbm");
    const Samples silent = samples(w, "silent.wav");
    EXPECT_EQ(silent, Samples(silent.size(), 0)) << "every track muted";

    run(w, "--stems three.dbm");
    const Samples mix = samples(w, "three.wav");
    Samples sum(mix.size(), 0);
    for (int track = 1; track <= 4; ++track) {
        const std::string name = "three.track0" + std::to_string(track) + ".wav";
        run(w, "--solo " + std::to_string(track) + " -o alone.wav three.dbm");
        const Samples stem = samples(w, name), solo = samples(w, "alone.wav");
        ASSERT_EQ(stem.size(), mix.size()) << name << " is as long as the mix";
        const size_t common = std::min(stem.size(), solo.size());
        EXPECT_TRUE(std::equal(stem.begin(), stem.begin() + std::ptrdiff_t(common), solo.begin())) << name;
        for (size_t i = 0; i < mix.size(); ++i)
            sum[i] += stem[i];
    }
    // Each stem's value is rounded down on its own: the mix is the sum plus 0 to 3.
    for (size_t i = 0; i < mix.size(); ++i)
        ASSERT_TRUE(mix[i] - sum[i] >= 0 && mix[i] - sum[i] <= 3) << "sample " << i;
}

TEST(KvplaySongsLoop, RepeatPlaysTheLoopNMoreTimesThenFadesAndInfoGivesThePass)
{
    Workspace w;
    modwriter::ModuleSpec loop = kvplaytest::shortModule(true);
    loop.patterns[0].at(14, 0, loop.tracks).effect1 = 11; // back to order 0 after row 14
    w.write("loop.dbm", loop);
    run(w, "--seconds 10 loop.dbm");
    run(w, "--repeat 2 -o repeat.wav loop.dbm");
    const size_t end = 3 * 15 * ROW; // one pass of 15 rows and two more
    const Samples repeated = samples(w, "repeat.wav"), plain = samples(w, "loop.wav");
    ASSERT_EQ(repeated.size(), 2 * (end + 2 * 44100)) << "then two seconds of fade";
    EXPECT_TRUE(std::equal(repeated.begin(), repeated.begin() + std::ptrdiff_t(2 * end), plain.begin()));
    const std::string info = w.kvplay("--info loop.dbm").output;
    EXPECT_NE(info.find("\n        loops: one pass 0:01.8 (79380 frames), then again from 0:00.0 (0 frames)\n"),
              std::string::npos) << info;
}

TEST(KvplaySongsErrors, ChoicesThatDoNotFitTheModuleGetOneLineAndStatus2)
{
    Workspace w;
    w.write("three.dbm", songsModule());
    const char *cases[][2] = {
        {"--song 300", "three.dbm: song 300 is out of range: the module has 3 songs, 0 to 2"},
        {"--mute 5", "three.dbm: track 5 is out of range: the module has 4 tracks, 1 to 4"},
        {"--start-order 2", "three.dbm: order position 2 is out of range: song 0 has 2 order positions, 0 to 1"},
        {"--start 2:00", "three.dbm: --start 2:00.0 is past the end of song 0 (0:0"},
        {"--stems --solo 1 --mute 1", "three.dbm: --stems has no track to write: every track is muted"},
        {"--all-songs -o x.wav", "three.dbm: -o names one output, but this makes 3 (one per song); use -f"},
        {"--plugin x.kvp --song 1", "--song plays through the player library, and a plug-in's stream"},
        {"--repeat -1", "--repeat: "},
        {"--start 1:77", "--start: "},
    };
    for (const auto &c : cases) {
        kvplaytest::Outcome outcome = w.kvplay(std::string(c[0]) + " three.dbm");
        EXPECT_EQ(outcome.status, 2) << c[0];
        EXPECT_EQ(outcome.errors.substr(0, std::strlen(c[1]) + 8), "kvplay: " + std::string(c[1]));
        EXPECT_EQ(std::count(outcome.errors.begin(), outcome.errors.end(), '\n'), 1) << outcome.errors;
    }
    EXPECT_FALSE(w.exists("three.wav") || w.exists("x.wav") || w.exists("three.song1.wav"));
}

} // namespace
