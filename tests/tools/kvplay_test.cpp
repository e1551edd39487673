// kvplay as a user runs it: a process in a folder of real files, one table
// row per case with the exit status and the whole of what it says.

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

constexpr size_t RATE = 44100;

std::vector<uint8_t> chunksOf(void (*change)(std::vector<Chunk> &), uint8_t version = 3)
{
    std::vector<Chunk> chunks = modwriter::chunks(kvplaytest::shortModule(false));
    change(chunks);
    return modwriter::assemble(chunks, version);
}

// The damaged and hostile modules of the table, one per cause.
void writeModules(const Workspace &w)
{
    w.write("good.dbm", kvplaytest::shortModule(false));
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
};

TEST(Kvplay, EachCaseExitsWithItsStatusAndSaysItsLine)
{
    Workspace w;
    writeModules(w);
    for (const Case &c : CASES) {
        Outcome run = w.kvplayFrom(c.input, c.arguments);
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

} // namespace
