// Modules that push every limit play for a bounded number of frames without
// a fault the sanitizers can see, without leaks, and with the work per frame
// bounded: no resampler steps further than its buffer allows, so a pull
// reads at most that many source frames per output frame.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "graph/resampler.h"
#include "tests/hardening/hostile_modules.h"
#include "tests/support/load.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

using namespace hardening;

class HostilePlaying : public ::testing::Test {
protected:
    void SetUp() override
    {
        testsupport::ensureHost();
        kvhost::resetHostControls();
        blocks = kvhost::outstandingBlocks();
    }
    void TearDown() override { EXPECT_EQ(kvhost::outstandingBlocks(), blocks); }

    // The largest resampling step of any voice.
    static uint32_t largestStep(const dbm::Engine *engine)
    {
        uint32_t largest = 0;
        for (uint32_t t = 0; t < engine->module->trackCount; ++t)
            for (dbm::ProcessingNode *node = engine->tracks[t].voiceChain.head; node; node = node->next)
                if (node->kind == dbm::NODE_RESAMPLER)
                    largest = std::max(largest, static_cast<dbm::ResamplerNode *>(node)->step);
        return largest;
    }

    // Loads `desc`, optionally moves to `row` of order 0, and renders
    // `frames` frames in pieces of varied size; returns the largest step seen.
    uint32_t play(const modwriter::ModuleSpec &desc, uint32_t frames, const std::string &what,
                  int32_t row = 0)
    {
        int32_t error = 0;
        testsupport::ModuleHandle module(testsupport::loadSpec(desc, &error));
        EXPECT_NE(module, nullptr) << what << ": load error " << error;
        if (!module)
            return 0;
        dbm::Engine *engine = dbm::createEngine(module.get(), 44100, 44100);
        EXPECT_NE(engine, nullptr) << what;
        if (!engine)
            return 0;
        dbm::setOutputLevel(engine, 16);
        if (row != 0)
            dbm::setPosition(engine, 0, 0, row);
        std::vector<int16_t> out(2 * 44100);
        const uint32_t pieces[] = {4410, 1, 44100, 777, 20000};
        uint32_t largest = 0;
        bool sounded = false;
        for (uint32_t done = 0, i = 0; done < frames; ++i) {
            const uint32_t wanted = std::min(pieces[i % 5], frames - done);
            const uint32_t n = dbm::renderFrames(engine, wanted, out.data());
            sounded |= std::any_of(out.begin(), out.begin() + 2 * wanted, [](int16_t s) { return s != 0; });
            EXPECT_LE(n, wanted) << what;
            largest = std::max(largest, largestStep(engine));
            done += n != 0 ? n : wanted; // a stopped song renders a row at a time
        }
        EXPECT_LE(largest, dbm::MAX_RESAMPLE_STEP) << what;
        EXPECT_TRUE(sounded) << what;
        dbm::destroyEngine(engine);
        return largest;
    }

    size_t blocks = 0;
};

// Every effect command with every parameter 0..255, in either column.
TEST_F(HostilePlaying, EveryEffectWithEveryParameter)
{
    // 256 rows of 3 ticks at tempo 255 are about 332000 frames; flow
    // commands may repeat rows, so the frame count is the bound.
    for (unsigned effect = 0; effect < EFFECT_COUNT; ++effect)
        for (unsigned column : {1u, 2u})
            play(effectSweep(static_cast<uint8_t>(effect), column), 340000,
                 "effect " + std::to_string(effect) + " column " + std::to_string(column));
}

// Notes above the pitch ceiling with arpeggio on one-frame loops at both
// rate limits, and sample offsets beyond the sample: the step is limited.
TEST_F(HostilePlaying, ExtremeNotesStayInsideTheResampler)
{
    const uint32_t largest = play(extremeNotes(), 72 * 882 + 44100, "extreme notes");
    EXPECT_EQ(largest, dbm::MAX_RESAMPLE_STEP); // the ceiling is reached, not passed
}

// Default volumes and pannings outside their ranges play without overflow.
TEST_F(HostilePlaying, OutOfRangeInstrumentDefaults)
{
    play(outOfRangeInstruments(), 24 * 6 * 882, "out-of-range instruments");
}

// Envelopes whose positions repeat or fall play through sustain and loops.
TEST_F(HostilePlaying, RepeatedAndFallingEnvelopePositions)
{
    play(strangeEnvelopes(), 2 * 32 * 6 * 882, "strange envelopes");
}

// 254 tracks, every one with a voice and an echo.
TEST_F(HostilePlaying, MostTracksWithEchoEverywhere)
{
    play(manyTracks(), 4 * 6 * 882, "254 tracks");
}

// A pattern of 65535 rows: its last rows, the pattern loop there and the
// turn to the next order.
TEST_F(HostilePlaying, LongestPatternToItsEnd)
{
    play(longestPattern(), 8 * 6 * 882, "65535 rows", 65530);
}

// Speed 1 and 31 with tempo 32 and 255.
TEST_F(HostilePlaying, SpeedAndTempoLimits)
{
    for (uint8_t speed : {1, 31})
        for (uint8_t tempo : {32, 255})
            play(timing(speed, tempo), 44100 * 3,
                 "speed " + std::to_string(speed) + " tempo " + std::to_string(tempo));
}

} // namespace
