// kvplay --info and --version: what they print, and that they render nothing.

#include "engine/duration.h"
#include "tests/support/load.h"
#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>

namespace {

using kvplaytest::Outcome;
using kvplaytest::Workspace;

modwriter::ModuleSpec infoModule()
{
    modwriter::ModuleSpec desc = modwriter::minimalModule(6);
    desc.name = "Info Probe";
    desc.version = 2;
    desc.revision = 0x17;
    desc.instruments[0].name = "Square";
    desc.instruments[0].baseRate = 22050;
    desc.instruments[0].flags = 2;
    desc.instruments[0].loopStart = 8;
    desc.instruments[0].loopLength = 16;
    modwriter::InstrumentSpec noise;
    noise.name = "Noise";
    noise.sample = 2;
    noise.baseRate = 11025;
    desc.instruments.push_back(noise);
    modwriter::SampleSpec second;
    second.width = 8;
    second.frames.assign(50, 3);
    desc.samples.push_back(second);
    desc.songs[0].orders = {0, 1, 0};
    desc.songs.push_back({"Second", {1}});
    modwriter::PatternSpec shortPattern;
    shortPattern.rows = 8;
    desc.patterns.push_back(shortPattern);
    modwriter::EnvelopeSpec fade;
    fade.instrument = 2;
    fade.flags = 1 | 2;
    fade.lastPoint = 2;
    fade.sustainA = 1;
    fade.points = {{0, 64}, {10, 32}, {30, 0}};
    desc.volumeEnvelopes.push_back(fade);
    desc.dspe = true;
    desc.echoTrackBytes = {1, 0, 1, 1, 0, 1};
    desc.echoDelay = 50;
    desc.echoFeedback = 70;
    desc.echoMix = 90;
    desc.echoCross = 110;
    return desc;
}

void expectLine(const std::string &text, const std::string &line)
{
    EXPECT_NE(text.find(line + "\n"), std::string::npos) << "missing: " << line << "\nin:\n" << text;
}

TEST(KvplayInfo, DescribesEveryPartOfTheModuleWithoutRendering)
{
    Workspace w;
    w.write("probe.dbm", infoModule());
    Outcome run = w.kvplay("--info probe.dbm");
    ASSERT_EQ(run.status, 0) << run.errors;
    const std::string &out = run.output;
    expectLine(out, "probe.dbm: \"Info Probe\"");
    expectLine(out, "format version 2, revision 17");
    expectLine(out, "tracks: 6");
    expectLine(out, "echo: tracks 2 5; delay 50 (100 ms), feedback 70, mix 90, cross-feed 110");
    expectLine(out, "instruments: 2");
    expectLine(out, "    1 \"Square\": base rate 22050 Hz, sample 1, volume 64, panning 0, "
                    "ping-pong loop 8+16, volume envelope none, panning envelope none");
    expectLine(out, "    2 \"Noise\": base rate 11025 Hz, sample 2, volume 64, panning 0, no loop, "
                    "volume envelope 1, panning envelope none");
    expectLine(out, "samples: 2");
    expectLine(out, "    1: 32 frames");
    expectLine(out, "    2: 50 frames");
    expectLine(out, "songs: 2");
    expectLine(out, "    0 \"Song\": 3 orders: 0 1 0");
    expectLine(out, "    1 \"Second\": 1 orders: 1");
    expectLine(out, "patterns: 2, rows: 64 8");
    expectLine(out, "envelopes: 1 volume, 0 panning");
    expectLine(out, "  volume 1 (instrument 2): 3 points, 30 ticks, sustain at 1");

    testsupport::ModuleHandle module(testsupport::loadSpec(infoModule()));
    ASSERT_TRUE(module);
    dbm::SongDuration duration = dbm::scanSongDuration(module.get(), 44100);
    ASSERT_TRUE(duration.stops);
    expectLine(out, "(" + std::to_string(duration.frames) + " frames)");
    EXPECT_FALSE(w.exists("probe.wav"));
}

TEST(KvplayInfo, ASongThatNeverStopsIsSaidToLoopForever)
{
    Workspace w;
    modwriter::ModuleSpec desc = kvplaytest::shortModule(true);
    desc.patterns[0].at(14, 0, desc.tracks).effect1 = 11; // jump back to the start
    w.write("loop.dbm", desc);
    Outcome run = w.kvplay("--info loop.dbm");
    ASSERT_EQ(run.status, 0) << run.errors;
    expectLine(run.output, "duration: loops forever");
}

TEST(KvplayInfo, AFileThatCannotBeLoadedIsReportedAndTheOthersDescribed)
{
    Workspace w;
    w.write("good.dbm", kvplaytest::shortModule(false));
    Outcome run = w.kvplay("--info missing.dbm good.dbm");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.errors, "kvplay: missing.dbm: cannot open: No such file or directory\n");
    EXPECT_NE(run.output.find("good.dbm: \"Minimal\""), std::string::npos) << run.output;
}

TEST(KvplayVersion, NamesThePluginWithItsVersionAndRevision)
{
    Workspace w;
    Outcome run = w.kvplay("--version");
    ASSERT_EQ(run.status, 0) << run.errors;
    EXPECT_NE(run.output.find("digibooster.kvp: DigiBooster, version 1, revision 2"), std::string::npos)
        << run.output;
}

} // namespace
