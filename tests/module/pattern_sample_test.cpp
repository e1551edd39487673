// PATT unpacking and SMPL conversion.
#include "tests/module/module_test.h"

#include <cstring>

namespace moduletest {
namespace {

using namespace dbm;
using modwriter::SampleSpec;

class Patterns : public ReaderTest {
protected:
    // The minimal 4-track module whose pattern has these rows and packed bytes.
    static ModuleSpec withPacked(uint16_t rows, std::vector<uint8_t> packed)
    {
        ModuleSpec desc = modwriter::minimalModule(4);
        desc.patterns[0].rows = rows;
        desc.patterns[0].packed = std::move(packed);
        return desc;
    }
    static std::vector<uint8_t> entryBytes(const PatternEntry &entry)
    {
        std::vector<uint8_t> bytes(8);
        std::memcpy(bytes.data(), &entry, 8);
        return bytes;
    }
};

// Track 1, mask 3: note byte 0x25 and instrument 0x11, then a row end.
TEST_F(Patterns, ExampleEntry)
{
    ModuleHandle module = load(withPacked(2, {0x01, 0x03, 0x25, 0x11, 0x00}));
    ASSERT_NE(module, nullptr);
    const PatternEntry *entries = module->patterns[0]->entries;
    EXPECT_EQ(entryBytes(entries[0]), (std::vector<uint8_t>{5, 2, 17, 0, 0, 0, 0, 0}));
    for (unsigned i = 1; i < 8; ++i)
        EXPECT_EQ(entryBytes(entries[i]), std::vector<uint8_t>(8, 0)) << i;
}

// Mask bits 2 and 3 announce exactly the first effect and its parameter.
TEST_F(Patterns, MaskSelectsItsDataBytes)
{
    ModuleHandle module = load(withPacked(1, {0x02, 0x0C, 0x0A, 0x40, 0x03, 0x30, 0x0F, 0x01}));
    ASSERT_NE(module, nullptr);
    const PatternEntry *entries = module->patterns[0]->entries;
    EXPECT_EQ(entryBytes(entries[1]), (std::vector<uint8_t>{0, 0, 0, 0x0A, 0x40, 0, 0, 0}));
    EXPECT_EQ(entryBytes(entries[2]), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0x0F, 0x01, 0}));
}

// Mask bits 6 and 7 announce nothing: the next byte is a track byte.
TEST_F(Patterns, HighMaskBitsAreIgnored)
{
    ModuleHandle module = load(withPacked(1, {0x01, 0xC0, 0x04, 0x02, 0x07}));
    ASSERT_NE(module, nullptr);
    const PatternEntry *entries = module->patterns[0]->entries;
    EXPECT_EQ(entryBytes(entries[0]), std::vector<uint8_t>(8, 0));
    EXPECT_EQ(entries[3].instrument, 7);
}

// Track bytes run 1..trackCount.
TEST_F(Patterns, TrackByteLimit)
{
    ModuleHandle module = load(withPacked(1, {0x04, 0x02, 0x09}));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->patterns[0]->entries[3].instrument, 9);
    EXPECT_EQ(refusal(withPacked(1, {0x05, 0x02, 0x09})), LOAD_ERROR_DATA);
}

// Decoding stops after the last row; whatever follows is not looked at.
TEST_F(Patterns, BytesAfterLastRowAreIgnored)
{
    ModuleHandle module = load(withPacked(2, {0x00, 0x01, 0x02, 0x08, 0x00, 0x00, 0x00, 0xFF, 0x7F}));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->patterns[0]->entries[4].instrument, 8);
}

// A stream ending inside an entry keeps the fields it reached.
TEST_F(Patterns, StreamEndingInsideEntry)
{
    ModuleHandle module = load(withPacked(1, {0x01, 0x3F, 0x31, 0x02}));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(entryBytes(module->patterns[0]->entries[0]), (std::vector<uint8_t>{1, 3, 2, 0, 0, 0, 0, 0}));
}

// Every cell the writer packs comes back in its place.
TEST_F(Patterns, WrittenCellsRoundTrip)
{
    ModuleSpec desc = modwriter::minimalModule(6);
    desc.patterns[0].rows = 5;
    desc.patterns[0].at(4, 5, 6) = {11, 7, 1, 0x0E, 0xC3, 35, 0xFF};
    desc.patterns[0].at(2, 0, 6) = {0, 0, 0, 0, 0, 0, 0x01};
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    const PatternEntry *entries = module->patterns[0]->entries;
    EXPECT_EQ(entryBytes(entries[4 * 6 + 5]), (std::vector<uint8_t>{11, 7, 1, 0x0E, 0xC3, 35, 0xFF, 0}));
    EXPECT_EQ(entries[2 * 6].param2, 1);
}

// Rows 0, packed size 0 or a packed size beyond the chunk are data errors.
TEST_F(Patterns, BadPatternHeadsAreDataErrors)
{
    EXPECT_EQ(refusal(withPacked(0, {0x00})), LOAD_ERROR_DATA);
    auto bytes = edited(modwriter::minimalModule(), [](std::vector<Chunk> &chunks) {
        std::vector<uint8_t> &body = modwriter::findChunk(chunks, "PATT")->body;
        body = {0, 1, 0, 0, 0, 0};
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
    bytes = edited(modwriter::minimalModule(), [](std::vector<Chunk> &chunks) {
        std::vector<uint8_t> &body = modwriter::findChunk(chunks, "PATT")->body;
        body = {0, 1, 0xFF, 0xFF, 0xFF, 0xFF, 0};
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

class Samples : public ReaderTest {
protected:
    // The minimal module with its one sample replaced (and no loop).
    static ModuleHandle loadSample(unsigned width, std::vector<int32_t> frames)
    {
        ModuleSpec desc = modwriter::minimalModule();
        desc.samples[0] = SampleSpec{width, std::move(frames)};
        desc.instruments[0].loopLength = 0;
        return load(desc);
    }
};

// 8-bit values are scaled by 256 with their sign.
TEST_F(Samples, EightBitConversion)
{
    ModuleHandle module = loadSample(8, {0x80, 0x7F, 0xFF, 0x00, 0x01});
    ASSERT_NE(module, nullptr);
    const int16_t *data = module->samples[0]->data;
    EXPECT_EQ(data[0], -32768);
    EXPECT_EQ(data[1], 32512);
    EXPECT_EQ(data[2], -256);
    EXPECT_EQ(data[3], 0);
    EXPECT_EQ(data[4], 256);
}

// 16-bit values are big-endian in the file and in host order in memory.
TEST_F(Samples, SixteenBitConversion)
{
    ModuleHandle module = loadSample(16, {0x8000, 0x1234, 0xFFFF, 0x7FFF});
    ASSERT_NE(module, nullptr);
    const int16_t *data = module->samples[0]->data;
    EXPECT_EQ(data[0], -32768);
    EXPECT_EQ(data[1], 0x1234);
    EXPECT_EQ(data[2], -1);
    EXPECT_EQ(data[3], 32767);
}

// 32-bit values keep their upper 16 bits.
TEST_F(Samples, ThirtyTwoBitConversion)
{
    ModuleHandle module = loadSample(32, {0x12345678, int32_t(0xFFFF0000u), int32_t(0x80000000u), 0x0000FFFF});
    ASSERT_NE(module, nullptr);
    const int16_t *data = module->samples[0]->data;
    EXPECT_EQ(data[0], 0x1234);
    EXPECT_EQ(data[1], -1);
    EXPECT_EQ(data[2], -32768);
    EXPECT_EQ(data[3], 0);
}

// Samples longer than one scratch block convert every block.
TEST_F(Samples, ConversionAcrossScratchBlocks)
{
    std::vector<int32_t> frames(20000);
    for (size_t i = 0; i < frames.size(); ++i)
        frames[i] = int32_t(i * 2654435761u);
    for (unsigned width : {8u, 32u}) {
        ModuleHandle module = loadSample(width, frames);
        ASSERT_NE(module, nullptr);
        const int16_t *data = module->samples[0]->data;
        for (size_t i = 0; i < frames.size(); ++i) {
            uint32_t stored = uint32_t(frames[i]);
            int16_t expected = int16_t(width == 8 ? uint16_t((stored & 0xFF) << 8) : uint16_t(stored >> 16));
            ASSERT_EQ(data[i], expected) << width << " bits, frame " << i;
        }
    }
}

// Width bits matter only for samples with data; other flag bits never do.
TEST_F(Samples, WidthBits)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.instruments[0].loopLength = 0;
    desc.samples[0] = SampleSpec{16, {}, 0x10}; // width bits 0, length 0
    EXPECT_NE(load(desc), nullptr);
    desc.samples[0] = SampleSpec{16, {5}, 0x102};
    EXPECT_NE(load(desc), nullptr);
    for (uint32_t flags : {3u, 5u, 7u, 0x100u}) {
        desc.samples[0] = SampleSpec{16, {5}, flags};
        EXPECT_EQ(refusal(desc), LOAD_ERROR_DATA) << flags;
    }
}

// Lengths of 2^31 frames or more are refused.
TEST_F(Samples, LengthLimit)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.samples[0].overrideLength = true;
    desc.samples[0].declaredLength = 0x80000000u;
    EXPECT_EQ(refusal(desc), LOAD_ERROR_DATA);
}

// A sample whose data runs past its chunk is a data error, in every width.
TEST_F(Samples, SampleCutShortByChunk)
{
    for (unsigned width : {8u, 16u, 32u}) {
        ModuleSpec desc = modwriter::minimalModule();
        desc.samples.push_back(SampleSpec{width, std::vector<int32_t>(100, 3)});
        auto bytes = edited(desc, [](std::vector<Chunk> &chunks) {
            modwriter::findChunk(chunks, "SMPL")->body.pop_back();
        });
        EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA) << width;
    }
}

// A huge declared length with a small chunk is refused without asking for memory.
TEST_F(Samples, LengthBeyondChunkIsDataError)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.samples[0].overrideLength = true;
    desc.samples[0].declaredLength = 0x7FFFFFFFu;
    EXPECT_EQ(refusal(desc), LOAD_ERROR_DATA);
}

} // namespace
} // namespace moduletest
