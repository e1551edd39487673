// kvplay as a user runs it: a process in a folder of real files, one table
// row per case with the exit status and the whole of what it says; what it
// writes (formats, lengths, batches, --info and --version); and its song and
// track choices, rendered through the library, against the plug-in's stream
// of modules made to play the same thing as song 0.

#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

namespace {

using kvplaytest::Outcome;
using kvplaytest::Workspace;
using modwriter::Chunk;
using Samples = std::vector<int16_t>;

constexpr size_t RATE = 44100, SONG = 90846; // shortModule's length
constexpr size_t ROW = 6 * 882;               // frames of a row at speed 6, tempo 125

std::vector<uint8_t> chunksOf(void (*change)(std::vector<Chunk> &), uint8_t version = 3)
{
    std::vector<Chunk> chunks = modwriter::chunks(kvplaytest::shortModule(false));
    change(chunks);
    return modwriter::assemble(chunks, version);
}

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

// The damaged and hostile modules of the table, one per cause.
void writeModules(const Workspace &w)
{
    w.write("good.dbm", kvplaytest::shortModule(false));
    w.write("three.dbm", songsModule());
    w.write("empty.dbm", std::vector<uint8_t>());
    w.write("riff.dbm", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'});
    w.write("dbm0.dbm", {'D', 'B', 'M', '0'});
    w.write("v4.dbm", chunksOf([](std::vector<Chunk> &) {}, 4));
    w.write("patt.dbm", chunksOf([](std::vector<Chunk> &c) { modwriter::findChunk(c, "PATT")->body[1] = 0; }));
    w.write("cut.dbm", chunksOf([](std::vector<Chunk> &c) { // ends right after the SMPL header
        modwriter::findChunk(c, "SMPL")->overrideLength = true;
        modwriter::findChunk(c, "SMPL")->declaredLength = uint32_t(c.back().body.size());
        c.back().body.clear();
    }));
    w.write("order.dbm", chunksOf([](std::vector<Chunk> &c) { std::swap(c[1], c[2]); })); // SONG, INFO
    w.write("huge.dbm", chunksOf([](std::vector<Chunk> &c) { // 8-bit, 2^31 - 16 frames: 4 GiB as 16-bit
        *modwriter::findChunk(c, "SMPL") = {"SMPL", {0, 0, 0, 1, 0x7F, 0xFF, 0xFF, 0xF0, 1, 2}, true, 0x7FFFFFFF};
    }));
    w.write("huge16.dbm", chunksOf([](std::vector<Chunk> &c) { // 2 GiB of 16-bit data, all converted
        *modwriter::findChunk(c, "SMPL") = {"SMPL", {0, 0, 0, 2, 0x3F, 0xFF, 0xFF, 0xF0, 1, 2}, true, 0x7FFFFFFF};
    }));
    std::vector<uint8_t> early = modwriter::write(kvplaytest::shortModule(false)); // SMPL comes last
    early.resize(early.size() - 20);
    w.write("early.dbm", early);
    w.write("taken.wav", {'k', 'e', 'e', 'p'});
    w.write("replaced.wav", {'o', 'l', 'd'});
    std::filesystem::create_directory(w.path("folder"));
}

struct Case {
    const char *arguments;
    const char *input; // standard input: a file of the folder, or none
    int status;
    const char *errors; // all of standard error
};

const Case CASES[] = {
    // What it did: one summary line per file unless -q.
    {"good.dbm", "", 0, "good.dbm -> good.wav  0:02.1, 1 song\n"},
    {"-q -o quiet.wav good.dbm", "", 0, ""},
    {"- -o piped.wav", "good.dbm", 0, "stdin -> piped.wav  0:02.1, 1 song\n"},
    {"--force -o replaced.wav good.dbm", "", 0, "good.dbm -> replaced.wav  0:02.1, 1 song\n"},
    {"-o taken.wav good.dbm", "", 2, "kvplay: taken.wav exists; --force replaces it (see kvplay --help)\n"},
    {"-o nowhere/x.wav good.dbm", "", 1, "kvplay: good.dbm: cannot write nowhere/x.wav: no such folder\n"},
    // Bad numbers and options: exit 2, one line.
    {"--seconds nan", "", 2,
     "kvplay: --seconds: nan is not a number of seconds above 0 and at most 14400 (see kvplay --help)\n"},
    {"--seconds 0", "", 2,
     "kvplay: --seconds: 0 is not a number of seconds above 0 and at most 14400 (see kvplay --help)\n"},
    {"--tail inf", "", 2,
     "kvplay: --tail: inf is not a number of seconds from 0 and at most 600 (see kvplay --help)\n"},
    {"-j 0", "", 2, "kvplay: --jobs: Value 0 not in range 1 to 256 (see kvplay --help)\n"},
    {"--memory-limit 1K", "", 2,
     "kvplay: --memory-limit: 1K is not a size from 1M to 1T, such as 512M or 2G (see kvplay --help)\n"},
    {"--bogus", "", 2, "kvplay: the following argument was not expected: --bogus (see kvplay --help)\n"},
    {"-o x.mp3", "", 2, "kvplay: x.mp3: unknown output format; use .wav, .flac, .ogg or .aiff (see kvplay --help)\n"},
    // Conflicts are refused, not resolved.
    {"--raw -o y.wav", "", 2, "kvplay: --raw writes headerless frames, but y.wav names an audio file (see kvplay --help)\n"},
    {"-f flac -o z.ogg", "", 2,
     "kvplay: -f applies to outputs named after their inputs, not to -o z.ogg (see kvplay --help)\n"},
    {"--seconds 10 --tail 10", "", 2,
     "kvplay: --seconds gives the exact length; --tail applies only without it (see kvplay --help)\n"},
    {"--info --plugin x.kvp", "", 2, "kvplay: --info renders nothing; --plugin does not apply to it (see kvplay --help)\n"},
    {"-o a.wav good.dbm good.dbm", "", 2, "kvplay: -o names one output, but 2 files were given (see kvplay --help)\n"},
    // Load errors, with the reader's code behind each.
    {"-q missing.dbm", "", 1, "kvplay: missing.dbm: no such file\n"},                   // 1
    {"-q huge.dbm", "", 1, "kvplay: huge.dbm: out of memory: it asks for more than the limit of 1G (--memory-limit)\n"}, // 2
    {"-q huge16.dbm", "", 1, "kvplay: huge16.dbm: out of memory: it asks for more than the limit of 1G (--memory-limit)\n"}, // 2
    {"-q riff.dbm", "", 1, "kvplay: riff.dbm: not a DBM0 module\n"},                     // 3
    {"-q patt.dbm", "", 1, "kvplay: patt.dbm: damaged at chunk \"PATT\"\n"},             // 3
    {"-q dbm0.dbm", "", 1, "kvplay: dbm0.dbm: too short to be a DBM0 module\n"},         // 4
    {"-q v4.dbm", "", 1, "kvplay: v4.dbm: format version 4 is not supported (only 2 and 3)\n"}, // 4
    {"-q folder", "", 1, "kvplay: folder: not a file\n"},                                // 5
    {"-q empty.dbm", "", 1, "kvplay: empty.dbm: empty\n"},                               // 5
    {"-q cut.dbm", "", 1, "kvplay: cut.dbm: damaged: the file ends inside chunk \"SMPL\"\n"}, // 5
    {"-q order.dbm", "", 1, "kvplay: order.dbm: damaged: chunk \"SONG\" comes before INFO\n"}, // 6
    {"-q early.dbm", "", 0, "kvplay: early.dbm: the file ends early; missing data plays as silence\n"},
    {"-q --info empty.dbm", "", 1, "kvplay: empty.dbm: empty\n"},
    {"--version --plugin none.kvp", "", 0, "kvplay: cannot open the plug-in: none.kvp: No such file or directory\n"},
    // Song and track choices that do not fit the module (its song 0 lasts 33 rows and a tick: 0:04.0).
    {"--song 300 three.dbm", "", 2,
     "kvplay: three.dbm: song 300 is out of range: the module has 3 songs, 0 to 2 (see kvplay --help)\n"},
    {"--mute 5 three.dbm", "", 2,
     "kvplay: three.dbm: track 5 is out of range: the module has 4 tracks, 1 to 4 (see kvplay --help)\n"},
    {"--start-order 2 three.dbm", "", 2, "kvplay: three.dbm: order position 2 is out of range: song 0 has 2 order "
                                         "positions, 0 to 1 (see kvplay --help)\n"},
    {"--start 2:00 three.dbm", "", 2,
     "kvplay: three.dbm: --start 2:00.0 is past the end of song 0 (0:04.0) (see kvplay --help)\n"},
    {"--stems --solo 1 --mute 1 three.dbm", "", 2,
     "kvplay: three.dbm: --stems has no track to write: every track is muted (see kvplay --help)\n"},
    {"--all-songs -o x.wav three.dbm", "", 2, "kvplay: three.dbm: -o names one output, but this makes 3 (one per "
                                              "song); use -f to choose the format (see kvplay --help)\n"},
    {"--plugin x.kvp --song 1 three.dbm", "", 2,
     "kvplay: --song plays through the player library, and a plug-in's stream plays only song 0 from its start "
     "with every track: leave out --plugin (see kvplay --help)\n"},
    {"--repeat -1 three.dbm", "", 2, "kvplay: --repeat: Value -1 not in range 0 to 1000000 (see kvplay --help)\n"},
    {"--start 1:77 three.dbm", "", 2, "kvplay: --start: 1:77 is not a time in seconds or minutes:seconds (1:30.5) "
                                      "up to 4 hours (see kvplay --help)\n"},
};

TEST(Kvplay, EachCaseExitsWithItsStatusAndSaysItsLine)
{
    Workspace w;
    writeModules(w);
    for (const Case &c : CASES) {
        Outcome run = w.kvplay(c.arguments, c.input);
        EXPECT_EQ(run.status, c.status) << c.arguments;
        EXPECT_EQ(run.errors, c.errors) << c.arguments;
        EXPECT_LT(run.peakKiB, 1 << 20) << c.arguments << ": more than the 1 GiB budget";
    }
    EXPECT_EQ(w.read("taken.wav"), (std::vector<uint8_t>{'k', 'e', 'e', 'p'}));
    EXPECT_EQ(w.audio("replaced.wav").frames(), 90846u);
    std::vector<std::string> wav;
    for (const std::string &name : w.names())
        if (name.find(".wav") != std::string::npos)
            wav.push_back(name);
    EXPECT_EQ(wav, (std::vector<std::string>{"early.wav", "good.wav", "piped.wav", "quiet.wav", "replaced.wav",
                                             "taken.wav"}));
    EXPECT_EQ(w.read("piped.wav"), w.read("good.wav"));
}

TEST(Kvplay, ASignalLeavesNeitherAPartialFileNorAChangedOldOne)
{
    Workspace w;
    w.write("long.dbm", kvplaytest::shortModule(true));
    w.write("old.wav", {'o', 'l', 'd'});
    pid_t child = w.start("-q --force --seconds 14400 -o old.wav long.dbm");
    for (int wait = 0; wait < 1000 && w.names().size() < 3; ++wait)
        usleep(10000);
    ASSERT_EQ(w.names().size(), 3u) << "no temporary file appeared";
    kill(child, SIGTERM);
    Outcome run = w.finish(child);
    EXPECT_EQ(run.signal, SIGTERM);
    EXPECT_EQ(w.names(), (std::vector<std::string>{"long.dbm", "old.wav"}));
    EXPECT_EQ(w.read("old.wav"), (std::vector<uint8_t>{'o', 'l', 'd'}));
}

// The tail ends where the sound after the song has first stayed within +-2
// for a second, found here in a longer rendering of the same song.
TEST(Kvplay, TheDemoEndsWhenItsEchoTailHasStayedWithinTwoForASecond)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("-q --tail 0 -o song.wav").status, 0);
    ASSERT_EQ(w.kvplay("-q -o demo.wav").status, 0);
    const size_t song = w.audio("song.wav").frames();
    ASSERT_EQ(w.kvplay("-q -o long.wav --seconds " + std::to_string(song / RATE + 4)).status, 0);
    const std::vector<int16_t> demo = w.audio("demo.wav").samples, long_ = w.audio("long.wav").samples;
    size_t end = song, run = 0;
    for (size_t f = song; run < RATE && f < long_.size() / 2; ++f) {
        const bool quiet = std::abs(long_[2 * f]) <= 2 && std::abs(long_[2 * f + 1]) <= 2;
        run = quiet ? run + 1 : 0;
        end = quiet ? end : f + 1;
    }
    ASSERT_EQ(run, RATE);
    EXPECT_EQ(demo.size() / 2, end);
    EXPECT_LT(end, song + 2 * RATE) << "the tail should end well before the 3 s limit";
    EXPECT_TRUE(std::equal(demo.begin(), demo.end(), long_.begin()));
}

TEST(KvplayOutput, LengthIsTheSongThenTheTailOrExactlyTheSecondsAsked)
{
    Workspace w;
    w.write("short.dbm", kvplaytest::shortModule(false));
    w.write("held.dbm", kvplaytest::shortModule(true)); // sounds on: the whole tail
    modwriter::ModuleSpec endless = kvplaytest::shortModule(true);
    endless.patterns[0].at(14, 1, endless.tracks).effect1 = 11; // back to order 0 after row 14
    w.write("endless.dbm", endless);
    const struct {
        const char *arguments, *output;
        size_t frames;
    } rows[] = {{"short.dbm", "short.wav", SONG},
                {"--seconds 5.5 -o long.wav short.dbm", "long.wav", 5 * RATE + RATE / 2},
                {"held.dbm", "held.wav", SONG + 3 * RATE},
                {"--tail 1 -o one.wav held.dbm", "one.wav", SONG + RATE},
                {"--seconds 3 endless.dbm", "endless.wav", 3 * RATE},
                // One pass of 15 rows, the loop twice more, then two seconds of fade.
                {"--repeat 2 -o repeat.wav endless.dbm", "repeat.wav", 3 * 15 * ROW + 2 * RATE}};
    for (const auto &row : rows) {
        ASSERT_EQ(w.kvplay(std::string("-q ") + row.arguments).status, 0) << row.arguments;
        EXPECT_EQ(w.audio(row.output).frames(), row.frames) << row.arguments;
    }
    Outcome run = w.kvplay("-q --force --seconds 3 endless.dbm");
    EXPECT_EQ(run.errors, "kvplay: endless.dbm: the song never stops; rendering 3 seconds with a fade-out\n");
    const std::vector<int16_t> faded = w.audio("endless.wav").samples;
    auto peak = [&](size_t from, size_t to) {
        int largest = 0;
        for (size_t i = from; i < to; ++i)
            largest = std::max(largest, std::abs(int(faded[i])));
        return largest;
    };
    ASSERT_GT(peak(RATE, 2 * RATE), 0);
    EXPECT_LT(peak(faded.size() - RATE / 50, faded.size()), peak(RATE, 2 * RATE) / 10);
    const std::string info = w.kvplay("--info endless.dbm").output;
    EXPECT_NE(info.find("\n        loops: one pass 0:01.8 (79380 frames), then again from 0:00.0 (0 frames)\n"),
              std::string::npos) << info;
}

// Every format holds the same samples (standard output the WAV file's
// bytes); two jobs at once write what one writes; --write-demo writes the
// built-in demo.
TEST(KvplayOutput, FormatsJobsAndTheDemoFileAgree)
{
    Workspace w;
    w.write("a.dbm", kvplaytest::shortModule(false));
    w.write("b.dbm", kvplaytest::shortModule(true));
    for (const char *arguments : {"--write-demo c.dbm", "-q --seconds 3 -o demo.wav", "-q --seconds 3 -o demo.flac",
                                  "-q --seconds 3 --raw -o demo.raw", "-q -j 1 --seconds 3 a.dbm b.dbm c.dbm",
                                  "-q -j 2 --seconds 3 -f flac a.dbm b.dbm c.dbm"})
        ASSERT_EQ(w.kvplay(arguments).status, 0) << arguments;
    const Samples wav = w.audio("demo.wav").samples;
    ASSERT_EQ(wav.size(), 2 * 3 * RATE);
    EXPECT_EQ(w.audio("c.wav").samples, wav);
    EXPECT_EQ(w.audio("demo.flac").samples, wav);
    const std::vector<uint8_t> raw = w.read("demo.raw"), file = w.read("demo.wav");
    EXPECT_TRUE(raw.size() == 2 * wav.size() && std::memcmp(raw.data(), wav.data(), raw.size()) == 0);
    EXPECT_EQ(w.kvplay("-q --seconds 3 -o -").output, std::string(file.begin(), file.end()));
    for (const std::string name : {"a", "b", "c"})
        EXPECT_EQ(w.audio(name + ".flac").samples, w.audio(name + ".wav").samples) << name;
}

TEST(KvplayOutput, InfoDescribesWithoutRenderingAndVersionNamesBoth)
{
    Workspace w;
    modwriter::ModuleSpec desc = kvplaytest::shortModule(false);
    desc.dspe = true;
    desc.echoTrackBytes = {1, 0, 1, 1};
    desc.songs.push_back({"Second", {0, 0}});
    w.write("probe.dbm", desc);
    Outcome info = w.kvplay("--info probe.dbm");
    ASSERT_EQ(info.status, 0) << info.errors;
    for (const char *line : {"probe.dbm: \"Minimal\"\n", "tracks: 4\n",
                             "echo: tracks 2; delay 64 (128 ms), feedback 128, mix 128, cross-feed 255\n",
                             "    1 \"Second\": 2 orders: 0 0\n", "(90846 frames)\n"})
        EXPECT_NE(info.output.find(line), std::string::npos) << line << info.output;
    EXPECT_EQ(w.names(), std::vector<std::string>{"probe.dbm"});
    Outcome run = w.kvplay("probe.dbm");
    EXPECT_EQ(run.errors, "probe.dbm -> probe.wav  0:02.1, 2 songs, echo\n");
    Outcome version = w.kvplay("--version");
    EXPECT_EQ(version.output.rfind("kvplay ", 0), 0u) << version.output;
    EXPECT_NE(version.output.find("digibooster.kvp: DigiBooster, version 1, revision 2\n"), std::string::npos);
}

Samples samples(const Workspace &w, const std::string &name, size_t fromFrame = 0)
{
    kvplaytest::Audio audio = w.audio(name);
    EXPECT_EQ(audio.channels, 2) << name;
    return Samples(audio.samples.begin() + std::ptrdiff_t(std::min(2 * fromFrame, audio.samples.size())),
                   audio.samples.end());
}

void run(const Workspace &w, const std::string &arguments)
{
    kvplaytest::Outcome outcome = w.kvplay("-q --force " + arguments);
    ASSERT_EQ(outcome.status, 0) << arguments << "\n" << outcome.errors;
}

// Each song and start choice writes the bytes of its independent form; a
// solo is the mix with the other tracks muted; the stems are the solos, and
// the mix is their sum.
TEST(KvplaySongs, ChoicesMutesAndStems)
{
    Workspace w;
    w.write("three.dbm", songsModule());
    for (int song = 0; song < 3; ++song)
        w.write("alone" + std::to_string(song) + ".dbm", songsModule(song));
    run(w, "three.dbm alone0.dbm alone1.dbm alone2.dbm");
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

} // namespace
