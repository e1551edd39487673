// SONG, INST and DSPE, and the whole-module checks on instruments and songs.
#include "tests/module/module_test.h"

namespace moduletest {
namespace {

using namespace dbm;

class Chunks : public ReaderTest {};

// Names fill their whole field when it holds no zero byte.
TEST_F(Chunks, FullWidthNamesKeepEveryCharacter)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.name = std::string(44, 'm');
    desc.instruments[0].name = std::string(30, 'i');
    desc.songs[0].name = std::string(44, 's');
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(std::string(module->name), desc.name);
    EXPECT_EQ(std::string(module->instruments[0]->name), desc.instruments[0].name);
    EXPECT_EQ(std::string(module->songs[0]->name), desc.songs[0].name);
}

// Instrument fields come through in host order, with no envelopes linked yet.
TEST_F(Chunks, InstrumentRecordIsDecoded)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.instruments[0] = {"Lead", 1, 0x1234, 22050, 4, 20, -77, 0xFF02};
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    const Instrument &in = *module->instruments[0];
    EXPECT_STREQ(in.name, "Lead");
    EXPECT_EQ(in.sample, 0);
    EXPECT_EQ(in.volume, 0x1234);
    EXPECT_EQ(in.baseRate, 22050u);
    EXPECT_EQ(in.loopStart, 4u);
    EXPECT_EQ(in.loopLength, 20u);
    EXPECT_EQ(in.panning, -77);
    EXPECT_EQ(in.flags, 0xFF02);
    EXPECT_EQ(in.type, INSTRUMENT_TYPE_SAMPLE);
    EXPECT_EQ(in.volumeEnvelope, INDEX_NONE);
    EXPECT_EQ(in.panningEnvelope, INDEX_NONE);
}

// Sample number 0 or above the sample count falls back to the first sample.
TEST_F(Chunks, SampleNumberOutOfRangeMeansFirstSample)
{
    for (uint16_t number : {0, 3, 65535}) {
        ModuleSpec desc = modwriter::minimalModule();
        desc.samples.push_back(desc.samples[0]);
        desc.instruments[0].sample = number;
        ModuleHandle module = load(desc);
        ASSERT_NE(module, nullptr);
        EXPECT_EQ(module->instruments[0]->sample, 0) << number;
    }
}

// A loop of length 0 is no loop; no loop has no loop start.
TEST_F(Chunks, EmptyLoopClearsLoopMode)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.instruments[0].loopStart = 5;
    desc.instruments[0].loopLength = 0;
    desc.instruments[0].flags = 0x0101;
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instruments[0]->flags, 0x0100);
    EXPECT_EQ(module->instruments[0]->loopStart, 0u);
}

// The loop must lie inside the sample, and the end is computed without wrapping.
TEST_F(Chunks, LoopOutsideSampleIsDataError)
{
    struct Loop { uint32_t start, length; bool loads; };
    const Loop cases[] = {{0, 32, true}, {31, 1, true}, {32, 1, false}, {16, 17, false},
                          {16, 0xFFFFFFF0u, false}, {0xFFFFFFFFu, 1, false}};
    for (const Loop &c : cases) {
        ModuleSpec desc = modwriter::minimalModule(); // 32 frames
        desc.instruments[0].loopStart = c.start;
        desc.instruments[0].loopLength = c.length;
        int32_t code = 0;
        ModuleHandle module(testsupport::loadSpec(desc, &code));
        EXPECT_EQ(module != nullptr, c.loads) << c.start << "+" << c.length;
        if (!c.loads) {
            EXPECT_EQ(code, LOAD_ERROR_DATA);
        }
    }
}

// An instrument on an empty sample has no loop at all.
TEST_F(Chunks, EmptySampleClearsLoop)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.samples[0].frames.clear();
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instruments[0]->loopLength, 0u);
    EXPECT_EQ(module->instruments[0]->flags & INSTRUMENT_LOOP_MASK, LOOP_NONE);
}

// Base rates 2000..192000 are accepted.
TEST_F(Chunks, BaseRateLimits)
{
    for (uint32_t rate : {2000u, 192000u}) {
        ModuleSpec desc = modwriter::minimalModule();
        desc.instruments[0].baseRate = rate;
        EXPECT_NE(load(desc), nullptr) << rate;
    }
    for (uint32_t rate : {0u, 1999u, 192001u}) {
        ModuleSpec desc = modwriter::minimalModule();
        desc.instruments[0].baseRate = rate;
        EXPECT_EQ(refusal(desc), LOAD_ERROR_DATA) << rate;
    }
}

// Orders are converted to host order and must name existing patterns.
TEST_F(Chunks, OrdersNameExistingPatterns)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.patterns.resize(2, desc.patterns[0]);
    desc.songs[0].orders = {1, 0, 1};
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    ASSERT_EQ(module->songs[0]->orderCount, 3);
    EXPECT_EQ(module->songs[0]->orders[0], 1);
    EXPECT_EQ(module->songs[0]->orders[2], 1);
    desc.songs[0].orders = {0, 2};
    EXPECT_EQ(refusal(desc), LOAD_ERROR_DATA);
}

// Song 0 needs orders; later songs may have none and get no order list.
TEST_F(Chunks, EmptyOrderList)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.songs.push_back({"Empty", {}});
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->songs[1]->orderCount, 0);
    EXPECT_EQ(module->songs[1]->orders, nullptr);
    std::swap(desc.songs[0], desc.songs[1]);
    EXPECT_EQ(refusal(desc), LOAD_ERROR_DATA);
}

// Without DSPE no track echoes and the echo settings are the defaults.
TEST_F(Chunks, EchoDefaultsWithoutDspe)
{
    ModuleHandle module = load(modwriter::minimalModule());
    ASSERT_NE(module, nullptr);
    for (unsigned t = 0; t < 4; ++t)
        EXPECT_EQ(module->trackFlags[t], 0u);
    EXPECT_EQ(module->echoDelay, 64);
    EXPECT_EQ(module->echoFeedback, 128);
    EXPECT_EQ(module->echoMix, 128);
    EXPECT_EQ(module->echoCross, 255);
}

// A zero track byte turns echo on; the low byte of each setting is kept.
TEST_F(Chunks, DspeSetsEchoTracksAndSettings)
{
    ModuleSpec desc = modwriter::minimalModule(2);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 1};
    desc.echoDelay = 0x1234;
    desc.echoFeedback = 7;
    desc.echoMix = 0xFF00;
    desc.echoCross = 0x0180;
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->trackFlags[0], TRACK_FLAG_ECHO);
    EXPECT_EQ(module->trackFlags[1], 0u);
    EXPECT_EQ(module->echoDelay, 0x34);
    EXPECT_EQ(module->echoFeedback, 7);
    EXPECT_EQ(module->echoMix, 0);
    EXPECT_EQ(module->echoCross, 0x80);
}

// Two DSPE chunks add their echo tracks together.
TEST_F(Chunks, RepeatedDspeAccumulatesEchoTracks)
{
    ModuleSpec desc = modwriter::minimalModule(2);
    desc.dspe = true;
    desc.echoTrackBytes = {0, 1};
    ModuleSpec other = desc;
    other.echoTrackBytes = {1, 0};
    auto bytes = edited(desc, [&](std::vector<Chunk> &chunks) {
        chunks.push_back(modwriter::chunks(other).back());
    });
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->trackFlags[0], TRACK_FLAG_ECHO);
    EXPECT_EQ(module->trackFlags[1], TRACK_FLAG_ECHO);
}

TEST_F(Chunks, DspeTrackCountMismatchIsDataError)
{
    ModuleSpec desc = modwriter::minimalModule(4);
    desc.dspe = true;
    auto bytes = edited(desc, [](std::vector<Chunk> &chunks) {
        ModuleSpec two = modwriter::minimalModule(2);
        modwriter::findChunk(chunks, "DSPE")->body = modwriter::dspeBody(two);
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

// A record cut short by its chunk is a data error.
TEST_F(Chunks, TruncatedRecordsAreDataErrors)
{
    for (const char *id : {"SONG", "INST", "DSPE"}) {
        ModuleSpec desc = modwriter::minimalModule();
        desc.dspe = true;
        auto bytes = edited(desc, [&](std::vector<Chunk> &chunks) {
            modwriter::findChunk(chunks, id)->body.pop_back();
        });
        EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA) << id;
    }
}

} // namespace
} // namespace moduletest
