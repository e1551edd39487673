// What kvplay writes: formats, lengths, batches, and what --info and
// --version print.

#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace {

using kvplaytest::Outcome;
using kvplaytest::Workspace;

constexpr size_t RATE = 44100, SONG = 90846; // shortModule's length

TEST(KvplayOutput, EveryFormatHoldsTheSameSamples)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("-q --seconds 3 -o demo.wav").status, 0);
    ASSERT_EQ(w.kvplay("-q --seconds 3 -o demo.flac").status, 0);
    ASSERT_EQ(w.kvplay("-q --seconds 3 --raw -o demo.raw").status, 0);
    Outcome stream = w.kvplay("-q --seconds 3 -o -");
    const std::vector<int16_t> wav = w.audio("demo.wav").samples;
    ASSERT_EQ(wav.size(), 2 * 3 * RATE);
    EXPECT_EQ(w.audio("demo.flac").samples, wav);
    std::vector<uint8_t> raw = w.read("demo.raw");
    ASSERT_EQ(raw.size(), 2 * wav.size());
    EXPECT_EQ(0, std::memcmp(raw.data(), wav.data(), raw.size()));
    const std::vector<uint8_t> file = w.read("demo.wav");
    EXPECT_EQ(std::vector<uint8_t>(stream.output.begin(), stream.output.end()), file);
}

TEST(KvplayOutput, LengthIsTheSongThenTheTailOrExactlyTheSecondsAsked)
{
    Workspace w;
    w.write("short.dbm", kvplaytest::shortModule(false));
    w.write("held.dbm", kvplaytest::shortModule(true)); // sounds on: the whole tail
    modwriter::ModuleSpec endless = kvplaytest::shortModule(true);
    endless.patterns[0].at(14, 1, endless.tracks).effect1 = 11; // jumps back to the start
    w.write("endless.dbm", endless);
    const struct {
        const char *arguments, *output;
        size_t frames;
    } rows[] = {{"short.dbm", "short.wav", SONG},
                {"--seconds 5.5 -o long.wav short.dbm", "long.wav", 5 * RATE + RATE / 2},
                {"held.dbm", "held.wav", SONG + 3 * RATE},
                {"--tail 1 -o one.wav held.dbm", "one.wav", SONG + RATE},
                {"--seconds 3 endless.dbm", "endless.wav", 3 * RATE}};
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
}

TEST(KvplayOutput, TwoJobsAtOnceWriteWhatOneWritesAndTheDemoFileIsTheBuiltInDemo)
{
    Workspace w;
    w.write("a.dbm", kvplaytest::shortModule(false));
    w.write("b.dbm", kvplaytest::shortModule(true));
    ASSERT_EQ(w.kvplay("--write-demo c.dbm").status, 0);
    ASSERT_EQ(w.kvplay("-q -j 1 --seconds 2 a.dbm b.dbm c.dbm").status, 0);
    const std::vector<uint8_t> a = w.read("a.wav"), b = w.read("b.wav"), c = w.read("c.wav");
    ASSERT_EQ(w.kvplay("-q -j 2 --force --seconds 2 a.dbm b.dbm c.dbm").status, 0);
    EXPECT_EQ(w.read("a.wav"), a);
    EXPECT_EQ(w.read("b.wav"), b);
    EXPECT_EQ(w.read("c.wav"), c);
    ASSERT_EQ(w.kvplay("-q --seconds 2").status, 0);
    EXPECT_EQ(w.read("demo.wav"), c);
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

} // namespace
