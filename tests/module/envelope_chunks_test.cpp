// VENV and PENV records, their checks, and their links to instruments.
#include "tests/module/module_test.h"

namespace moduletest {
namespace {

using namespace dbm;
using modwriter::EnvelopeSpec;

class Envelopes : public ReaderTest {
protected:
    // The minimal module with these volume envelopes (or panning ones).
    static ModuleSpec withEnvelopes(std::vector<EnvelopeSpec> envelopes, bool panning = false,
                                    uint8_t version = 3)
    {
        ModuleSpec desc = modwriter::minimalModule();
        desc.version = version;
        desc.instruments.resize(3, desc.instruments[0]);
        (panning ? desc.panningEnvelopes : desc.volumeEnvelopes) = std::move(envelopes);
        return desc;
    }
    static EnvelopeSpec envelope(uint8_t flags, uint8_t lastPoint)
    {
        EnvelopeSpec e;
        e.flags = flags;
        e.lastPoint = lastPoint;
        for (unsigned j = 0; j < 32; ++j)
            e.points.push_back({uint16_t(j * 10), int16_t(j)});
        return e;
    }
};

// A last point above 31 means 31: all 32 points are read.
TEST_F(Envelopes, LastPointIsCappedAt31)
{
    ModuleHandle module = load(withEnvelopes({envelope(1, 40)}));
    ASSERT_NE(module, nullptr);
    const Envelope &e = module->volumeEnvelopes[0];
    EXPECT_EQ(e.lastPoint, 31);
    EXPECT_EQ(e.points[31].position, 310);
    EXPECT_EQ(e.points[31].value, 31);
}

// Points after the last point stay zero whatever the record holds.
TEST_F(Envelopes, PointsAfterLastPointStayZero)
{
    ModuleHandle module = load(withEnvelopes({envelope(1, 3)}));
    ASSERT_NE(module, nullptr);
    const Envelope &e = module->volumeEnvelopes[0];
    EXPECT_EQ(e.points[3].value, 3);
    EXPECT_EQ(e.points[4].position, 0);
    EXPECT_EQ(e.points[4].value, 0);
    EXPECT_EQ(e.loopStart, INDEX_NONE);
    EXPECT_EQ(e.sustainA, INDEX_NONE);
}

// The loop end must lie after the loop start and within the points.
TEST_F(Envelopes, LoopChecks)
{
    EnvelopeSpec e = envelope(1 | 4, 3);
    e.loopStart = 1;
    e.loopEnd = 2;
    ModuleHandle module = load(withEnvelopes({e}));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->volumeEnvelopes[0].loopStart, 1);
    EXPECT_EQ(module->volumeEnvelopes[0].loopEnd, 2);
    e.loopStart = 2;
    EXPECT_EQ(refusal(withEnvelopes({e})), LOAD_ERROR_DATA);
    e.loopStart = 0;
    e.loopEnd = 4;
    EXPECT_EQ(refusal(withEnvelopes({e})), LOAD_ERROR_DATA);
}

// Sustain points are ordered; each must lie within the points.
TEST_F(Envelopes, SustainPoints)
{
    EnvelopeSpec e = envelope(1 | 2 | 8, 6);
    e.sustainA = 5;
    e.sustainB = 2;
    ModuleHandle module = load(withEnvelopes({e}));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->volumeEnvelopes[0].sustainA, 2);
    EXPECT_EQ(module->volumeEnvelopes[0].sustainB, 5);
    e.sustainA = 7;
    EXPECT_EQ(refusal(withEnvelopes({e})), LOAD_ERROR_DATA);
    e.sustainA = 1;
    e.sustainB = 7;
    EXPECT_EQ(refusal(withEnvelopes({e})), LOAD_ERROR_DATA);
}

// A disabled record stores no loop, sustain or points, even out-of-range ones.
TEST_F(Envelopes, DisabledRecordIgnoresItsContent)
{
    EnvelopeSpec e = envelope(2 | 4 | 8, 3);
    e.sustainA = e.sustainB = 200;
    e.loopStart = 9;
    e.loopEnd = 1;
    e.points[0] = {5000, -300};
    e.instrument = 2;
    ModuleHandle module = load(withEnvelopes({e}));
    ASSERT_NE(module, nullptr);
    const Envelope &stored = module->volumeEnvelopes[0];
    EXPECT_EQ(stored.sustainA, INDEX_NONE);
    EXPECT_EQ(stored.sustainB, INDEX_NONE);
    EXPECT_EQ(stored.loopStart, INDEX_NONE);
    EXPECT_EQ(stored.loopEnd, INDEX_NONE);
    for (const EnvelopePoint &p : stored.points)
        EXPECT_TRUE(p.position == 0 && p.value == 0);
    EXPECT_EQ(module->instruments[1]->volumeEnvelope, 0);
}

// Version 2 panning values 0..64 become -128..128.
TEST_F(Envelopes, VersionTwoPanningIsConverted)
{
    EnvelopeSpec e = envelope(1, 2);
    e.points = {{0, 0}, {1, 32}, {2, 64}};
    ModuleHandle module = load(withEnvelopes({e}, true, 2));
    ASSERT_NE(module, nullptr);
    const Envelope &stored = module->panningEnvelopes[0];
    EXPECT_EQ(stored.points[0].value, -128);
    EXPECT_EQ(stored.points[1].value, 0);
    EXPECT_EQ(stored.points[2].value, 128);
    e.points[2].second = 65;
    EXPECT_EQ(refusal(withEnvelopes({e}, true, 2)), LOAD_ERROR_DATA);
}

// Version 3 panning values are taken as they are, within -128..128.
TEST_F(Envelopes, VersionThreePanningLimits)
{
    EnvelopeSpec e = envelope(1, 1);
    e.points = {{0, -128}, {1, 128}};
    ModuleHandle module = load(withEnvelopes({e}, true));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->panningEnvelopes[0].points[0].value, -128);
    EXPECT_EQ(module->panningEnvelopes[0].points[1].value, 128);
    e.points[1].second = 129;
    EXPECT_EQ(refusal(withEnvelopes({e}, true)), LOAD_ERROR_DATA);
}

// Volume values 0..64, positions up to 2048.
TEST_F(Envelopes, VolumeValueAndPositionLimits)
{
    EnvelopeSpec e = envelope(1, 1);
    e.points = {{0, 0}, {2048, 64}};
    EXPECT_NE(load(withEnvelopes({e})), nullptr);
    for (auto bad : {std::make_pair<uint16_t, int16_t>(0, -1), std::make_pair<uint16_t, int16_t>(0, 65),
                     std::make_pair<uint16_t, int16_t>(2049, 10)}) {
        e.points[1] = bad;
        EXPECT_EQ(refusal(withEnvelopes({e})), LOAD_ERROR_DATA) << bad.first << "," << bad.second;
    }
}

// Instrument number 0 or above 255 leaves an envelope unlinked.
TEST_F(Envelopes, OwnerOutsideOneTo255IsNone)
{
    EnvelopeSpec none = envelope(1, 0);
    none.instrument = 0;
    EnvelopeSpec far = none;
    far.instrument = 300;
    ModuleHandle module = load(withEnvelopes({none, far}));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->volumeEnvelopes[0].instrument, INDEX_NONE);
    EXPECT_EQ(module->volumeEnvelopes[1].instrument, INDEX_NONE);
    for (unsigned i = 0; i < 3; ++i)
        EXPECT_EQ(module->instruments[i]->volumeEnvelope, INDEX_NONE);
}

// An owner above the instrument count is a data error.
TEST_F(Envelopes, OwnerAboveInstrumentCountIsDataError)
{
    EnvelopeSpec e = envelope(1, 0);
    e.instrument = 4;
    EXPECT_EQ(refusal(withEnvelopes({e})), LOAD_ERROR_DATA);
    EXPECT_EQ(refusal(withEnvelopes({e}, true)), LOAD_ERROR_DATA);
}

// Envelopes link to their instruments; of two naming one, the later wins.
TEST_F(Envelopes, LinksGoToHighestIndex)
{
    EnvelopeSpec a = envelope(1, 0), b = a, c = a;
    a.instrument = 3;
    b.instrument = 1;
    c.instrument = 3;
    ModuleSpec desc = withEnvelopes({a, b, c});
    desc.panningEnvelopes = {b};
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->instruments[0]->volumeEnvelope, 1);
    EXPECT_EQ(module->instruments[1]->volumeEnvelope, INDEX_NONE);
    EXPECT_EQ(module->instruments[2]->volumeEnvelope, 2);
    EXPECT_EQ(module->instruments[0]->panningEnvelope, 0);
}

// A count of 0 leaves no array; above 255 is a data error.
TEST_F(Envelopes, Counts)
{
    auto bytes = edited(withEnvelopes({envelope(1, 0)}), [](std::vector<Chunk> &chunks) {
        modwriter::findChunk(chunks, "VENV")->body = {0, 0};
    });
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->volumeEnvelopeCount, 0);
    EXPECT_EQ(module->volumeEnvelopes, nullptr);
    bytes = edited(withEnvelopes({envelope(1, 0)}), [](std::vector<Chunk> &chunks) {
        Chunk &venv = *modwriter::findChunk(chunks, "VENV");
        venv.body[0] = 1; // 256 envelopes
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

// A chunk that ends inside a record is a data error.
TEST_F(Envelopes, TruncatedRecordIsDataError)
{
    auto bytes = edited(withEnvelopes({envelope(1, 0)}, true), [](std::vector<Chunk> &chunks) {
        modwriter::findChunk(chunks, "PENV")->body.resize(2 + 135);
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

} // namespace
} // namespace moduletest
