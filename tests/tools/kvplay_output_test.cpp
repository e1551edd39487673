// kvplay as a user runs it: output formats, lengths, tails and batches.

#include "engine/duration.h"
#include "tests/support/load.h"
#include "tests/tools/kvplay_process.h"
#include "tools/demo/demo_song.h"

#include <gtest/gtest.h>
#include <sndfile.h>

#include <algorithm>
#include <cstring>

namespace {

using kvplaytest::Audio;
using kvplaytest::Outcome;
using kvplaytest::Workspace;

constexpr size_t RATE = 44100;

uint64_t scannedFrames(const modwriter::ModuleSpec &desc, bool *stops = nullptr)
{
    testsupport::ModuleHandle module(testsupport::loadSpec(desc));
    if (!module)
        return 0;
    dbm::SongDuration duration = dbm::scanSongDuration(module.get(), RATE);
    if (stops)
        *stops = duration.stops;
    return duration.frames;
}

int peak(const std::vector<int16_t> &samples, size_t from, size_t to)
{
    int largest = 0;
    for (size_t i = from; i < to && i < samples.size(); ++i)
        largest = std::max(largest, std::abs(int(samples[i])));
    return largest;
}

// A module that jumps back to its start before its end and so never stops.
// (A jump on the very last row would not loop: running off the order list
// has already ended the song.)
modwriter::ModuleSpec endlessModule()
{
    modwriter::ModuleSpec desc = kvplaytest::shortModule(true);
    desc.patterns[0].at(14, 1, desc.tracks).effect1 = 11; // position jump to order 0
    return desc;
}

TEST(KvplayDemo, WithoutFileRendersDemoWavAtTheScannedLengthPlusAtMostTheTail)
{
    Workspace w;
    Outcome run = w.kvplay("-q");
    ASSERT_EQ(run.status, 0) << run.errors;
    Audio audio = w.audio("demo.wav");
    ASSERT_TRUE(audio.ok);
    EXPECT_EQ(audio.rate, 44100);
    EXPECT_EQ(audio.channels, 2);
    EXPECT_EQ(audio.format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    bool stops = false;
    uint64_t song = scannedFrames(demo::demoSong(), &stops);
    EXPECT_TRUE(stops);
    EXPECT_GE(song, 30 * RATE);
    EXPECT_LE(song, 60 * RATE);
    EXPECT_GE(audio.frames(), song);
    EXPECT_LE(audio.frames(), song + 3 * RATE);
}

TEST(KvplayDemo, WriteDemoWritesTheEmbeddedModuleBytes)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("--write-demo night.dbm").status, 0);
    EXPECT_EQ(w.read("night.dbm"), modwriter::write(demo::demoSong()));
}

TEST(KvplayFormats, FlacOutputHoldsTheSameSamplesAsWav)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("-q -o demo.wav").status, 0);
    Outcome run = w.kvplay("-q -o demo.flac");
    ASSERT_EQ(run.status, 0) << run.errors;
    Audio flac = w.audio("demo.flac");
    EXPECT_EQ(flac.format, SF_FORMAT_FLAC | SF_FORMAT_PCM_16);
    EXPECT_EQ(flac.samples, w.audio("demo.wav").samples);
}

TEST(KvplayFormats, StandardOutputThroughAPipeIsAWavStreamOfTheSameSamples)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("-q").status, 0);
    Outcome run = w.kvplay("-q -o -", "cat > stream.wav");
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<uint8_t> bytes = w.read("stream.wav");
    ASSERT_GT(bytes.size(), 44u);
    EXPECT_EQ(0, std::memcmp(bytes.data(), "RIFF", 4));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 8, "WAVEfmt ", 8));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 36, "data", 4));
    std::vector<int16_t> samples((bytes.size() - 44) / 2);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = int16_t(bytes[44 + 2 * i] | (bytes[45 + 2 * i] << 8));
    EXPECT_EQ(samples, w.audio("demo.wav").samples);
}

TEST(KvplayFormats, StandardOutputRedirectedToAFileGetsACompleteHeader)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("-q").status, 0);
    ASSERT_EQ(w.kvplay("-q -o -", "> redirected.wav").status, 0);
    EXPECT_EQ(w.read("redirected.wav"), w.read("demo.wav"));
}

TEST(KvplayFormats, RawOutputIsTheNativeFramesWithoutHeader)
{
    Workspace w;
    ASSERT_EQ(w.kvplay("-q").status, 0);
    ASSERT_EQ(w.kvplay("-q --raw").status, 0);
    std::vector<uint8_t> raw = w.read("demo.raw");
    std::vector<int16_t> wav = w.audio("demo.wav").samples;
    ASSERT_EQ(raw.size(), wav.size() * 2);
    EXPECT_EQ(0, std::memcmp(raw.data(), wav.data(), raw.size()));
}

TEST(KvplayLength, SecondsSetsTheExactFrameCount)
{
    Workspace w;
    w.write("short.dbm", kvplaytest::shortModule(false));
    ASSERT_EQ(w.kvplay("-q --seconds 2 short.dbm").status, 0);
    EXPECT_EQ(w.audio("short.wav").frames(), 2 * RATE);
    ASSERT_EQ(w.kvplay("-q --seconds 5.5 -o long.wav short.dbm").status, 0);
    EXPECT_EQ(w.audio("long.wav").frames(), 5 * RATE + RATE / 2);
}

TEST(KvplayLength, ASongWhoseSoundEndsWithItIsRenderedToExactlyItsScannedLength)
{
    Workspace w;
    w.write("short.dbm", kvplaytest::shortModule(false));
    ASSERT_EQ(w.kvplay("-q short.dbm").status, 0);
    EXPECT_EQ(w.audio("short.wav").frames(), scannedFrames(kvplaytest::shortModule(false)));
}

TEST(KvplayLength, SoundThatNeverFallsSilentIsCutAtTheTailLimit)
{
    Workspace w;
    w.write("held.dbm", kvplaytest::shortModule(true));
    uint64_t song = scannedFrames(kvplaytest::shortModule(true));
    ASSERT_EQ(w.kvplay("-q held.dbm").status, 0);
    EXPECT_EQ(w.audio("held.wav").frames(), song + 3 * RATE);
    ASSERT_EQ(w.kvplay("-q --tail 1 -o one.wav held.dbm").status, 0);
    EXPECT_EQ(w.audio("one.wav").frames(), song + RATE);
}

TEST(KvplayLength, ASongThatNeverStopsIsReportedAndFadedOutAtTheRequestedLength)
{
    Workspace w;
    w.write("endless.dbm", endlessModule());
    Outcome run = w.kvplay("-q --seconds 3 endless.dbm");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.errors.find("endless.dbm: the song never stops"), std::string::npos) << run.errors;
    Audio audio = w.audio("endless.wav");
    ASSERT_EQ(audio.frames(), 3 * RATE);
    int middle = peak(audio.samples, 2 * RATE / 2, 2 * RATE);
    int end = peak(audio.samples, audio.samples.size() - 2 * RATE / 100, audio.samples.size());
    ASSERT_GT(middle, 0);
    EXPECT_LT(end, middle / 10);
}

TEST(KvplayBatch, EachFileIsRenderedToItsNameInTheCurrentFolder)
{
    Workspace w;
    std::filesystem::create_directories(w.path("songs"));
    w.write("songs/one.dbm", kvplaytest::shortModule(false));
    w.write("two.mod.dbm", kvplaytest::shortModule(true));
    ASSERT_EQ(w.kvplay("-q --seconds 1 songs/one.dbm two.mod.dbm").status, 0);
    EXPECT_EQ(w.audio("one.wav").frames(), RATE);
    EXPECT_EQ(w.audio("two.mod.wav").frames(), RATE);
    ASSERT_EQ(w.kvplay("-q --seconds 1 -f flac songs/one.dbm").status, 0);
    EXPECT_EQ(w.audio("one.flac").samples, w.audio("one.wav").samples);
}

TEST(KvplayBatch, TwoJobsAtOnceGiveTheSameFilesAsOne)
{
    Workspace w;
    const std::vector<std::string> names = {"a", "b", "c", "d"};
    w.write("a.dbm", kvplaytest::shortModule(false));
    w.write("b.dbm", kvplaytest::shortModule(true));
    w.write("c.dbm", endlessModule());
    ASSERT_EQ(w.kvplay("--write-demo d.dbm").status, 0);
    ASSERT_EQ(w.kvplay("-q -j 1 --seconds 4 a.dbm b.dbm c.dbm d.dbm").status, 0);
    std::vector<std::vector<uint8_t>> single;
    for (const std::string &name : names)
        single.push_back(w.read(name + ".wav"));
    ASSERT_EQ(w.kvplay("-q -j 2 --seconds 4 a.dbm b.dbm c.dbm d.dbm").status, 0);
    for (size_t i = 0; i < names.size(); ++i) {
        EXPECT_EQ(w.read(names[i] + ".wav"), single[i]) << names[i];
        EXPECT_EQ(w.audio(names[i] + ".wav").frames(), 4 * RATE) << names[i];
    }
}

} // namespace
