// The file container: header, chunk walk, INFO first, bounded chunk reads,
// the end of the file, and whole-module checks that need no chunk detail.
#include "tests/module/module_test.h"

#include <algorithm>
#include <cstring>

namespace moduletest {
namespace {

using namespace dbm;

class Container : public ReaderTest {};

// Magic "DBM0" must match in every byte.
TEST_F(Container, WrongMagicByteIsDataError)
{
    for (int i = 0; i < 4; ++i) {
        char magic[5] = "DBM0";
        magic[i] ^= 0x20;
        auto bytes = modwriter::assemble(modwriter::chunks(modwriter::minimalModule()), 3, 0, magic);
        EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA) << "byte " << i;
    }
}

// Only versions 2 and 3 are read.
TEST_F(Container, VersionOtherThanTwoOrThreeIsRefused)
{
    ModuleSpec desc = modwriter::minimalModule();
    for (uint8_t version : {0, 1, 4, 255}) {
        desc.version = version;
        EXPECT_EQ(refusal(desc), LOAD_ERROR_VERSION) << int(version);
    }
    desc.version = 2;
    EXPECT_EQ(load(desc)->version, 2);
}

// The revision byte is two decimal digits, not checked.
TEST_F(Container, RevisionIsReadAsDecimalDigits)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.revision = 0x10;
    EXPECT_EQ(load(desc)->revision, 10);
    desc.revision = 0xFF;
    EXPECT_EQ(load(desc)->revision, 165);
}

TEST_F(Container, MissingFileIsOpenError)
{
    int32_t code = 0;
    EXPECT_EQ(loadModule("/nonexistent/no-such-module.dbm", &code, nullptr, nullptr), nullptr);
    EXPECT_EQ(code, LOAD_ERROR_OPEN);
}

TEST_F(Container, EmptyFileIsReadError)
{
    EXPECT_EQ(refusal(std::vector<uint8_t>{}), LOAD_ERROR_READ);
}

// On success the caller's error location is left as it was.
TEST_F(Container, SuccessLeavesErrorLocationAlone)
{
    int32_t code = 12345;
    ModuleHandle module(testsupport::loadSpec(modwriter::minimalModule(), &code));
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(code, 12345);
}

// Header, INFO 1/1/1/1/2, one song of one order, one instrument, a 1-row
// pattern packed as a single row end, a sample of length 0.
TEST_F(Container, SmallestFileLoads)
{
    ModuleSpec desc;
    desc.tracks = 2;
    desc.songs.push_back({"", {0}});
    modwriter::InstrumentSpec instrument;
    instrument.baseRate = 44100;
    desc.instruments.push_back(instrument);
    modwriter::PatternSpec pattern;
    pattern.rows = 1;
    desc.patterns.push_back(pattern);
    desc.samples.push_back({});
    auto bytes = modwriter::write(desc);
    EXPECT_EQ(bytes.size(), 8u + 18 + 56 + 58 + 15 + 16);
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(module->name, nullptr);
    EXPECT_EQ(module->samples[0]->length, 0u);
    EXPECT_EQ(module->samples[0]->data, nullptr);
}

// NAME may come before INFO; chunks that need the counts may not.
TEST_F(Container, OnlyNameAndUnknownChunksMayPrecedeInfo)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.volumeEnvelopes.push_back({});
    desc.panningEnvelopes.push_back({});
    desc.dspe = true;
    for (const char *id : {"SONG", "INST", "PATT", "SMPL", "VENV", "PENV", "DSPE"}) {
        auto bytes = edited(desc, [&](std::vector<Chunk> &chunks) {
            Chunk moved = *modwriter::findChunk(chunks, id);
            chunks.insert(chunks.begin(), moved);
        });
        EXPECT_EQ(refusal(bytes), LOAD_ERROR_ORDER) << id;
    }
    auto bytes = edited(desc, [](std::vector<Chunk> &chunks) {
        chunks.insert(chunks.begin(), Chunk{"XTRA", std::vector<uint8_t>(1000, 0xAB)});
        chunks.insert(chunks.begin(), Chunk{"name", std::vector<uint8_t>(3, 1)});
    });
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    EXPECT_STREQ(module->name, "Minimal");
}

// A 60-byte NAME body: 44 bytes are the name, the rest is skipped.
TEST_F(Container, LongNameBodyIsCutAt44)
{
    std::string text(60, 'n');
    auto bytes = edited(modwriter::minimalModule(), [&](std::vector<Chunk> &chunks) {
        modwriter::findChunk(chunks, "NAME")->body.assign(text.begin(), text.end());
    });
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(std::string(module->name), std::string(44, 'n'));
}

// A handler never reads past its body: a 40-byte NAME is a data error.
TEST_F(Container, ShortNameBodyIsDataError)
{
    auto bytes = edited(modwriter::minimalModule(), [](std::vector<Chunk> &chunks) {
        modwriter::findChunk(chunks, "NAME")->body.resize(40);
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

// A chunk met again replaces what the first one stored.
TEST_F(Container, RepeatedChunksReplaceEarlierOnes)
{
    ModuleSpec first = modwriter::minimalModule();
    ModuleSpec second = first;
    second.name = "Second";
    second.instruments[0].volume = 33;
    second.songs[0].name = "Again";
    second.patterns[0].rows = 7;
    second.samples[0].frames.assign(40, 5);
    auto bytes = edited(first, [&](std::vector<Chunk> &chunks) {
        for (const Chunk &chunk : modwriter::chunks(second))
            chunks.push_back(chunk);
    });
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    EXPECT_STREQ(module->name, "Second");
    EXPECT_EQ(module->instruments[0]->volume, 33);
    EXPECT_STREQ(module->songs[0]->name, "Again");
    EXPECT_EQ(module->patterns[0]->rows, 7);
    EXPECT_EQ(module->samples[0]->length, 40u);
}

// Each INFO count outside its range is a data error.
TEST_F(Container, InfoCountsOutOfRangeAreDataErrors)
{
    struct Counts { uint16_t instruments, samples, songs, patterns, tracks; };
    const Counts bad[] = {{1, 1, 1, 1, 3}, {1, 1, 1, 1, 0}, {1, 1, 1, 1, 256}, {0, 1, 1, 1, 4},
                          {256, 1, 1, 1, 4}, {1, 0, 1, 1, 4}, {1, 256, 1, 1, 4}, {1, 1, 0, 1, 4},
                          {1, 1, 256, 1, 4}, {1, 1, 1, 0, 4}};
    for (const Counts &c : bad) {
        auto bytes = edited(modwriter::minimalModule(), [&](std::vector<Chunk> &chunks) {
            modwriter::findChunk(chunks, "INFO")->body =
                modwriter::infoBody(c.instruments, c.samples, c.songs, c.patterns, c.tracks);
        });
        EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA)
            << c.instruments << " " << c.samples << " " << c.songs << " " << c.patterns << " " << c.tracks;
    }
}

// Without INFO there is nothing to play.
TEST_F(Container, FileWithoutInfoIsDataError)
{
    auto bytes = edited(modwriter::minimalModule(), [](std::vector<Chunk> &chunks) {
        chunks.resize(1); // NAME only
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

// Sample slots left empty (no SMPL) are refused, never read through.
TEST_F(Container, FileWithoutSamplesIsDataError)
{
    auto bytes = edited(modwriter::minimalModule(), [](std::vector<Chunk> &chunks) {
        chunks.erase(chunks.begin() + (modwriter::findChunk(chunks, "SMPL") - chunks.data()));
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_DATA);
}

// One to seven bytes after the last chunk are the end of the file.
TEST_F(Container, ShortTailAfterLastChunkIsEndOfFile)
{
    for (size_t tail = 1; tail <= 7; ++tail) {
        auto bytes = modwriter::write(modwriter::minimalModule());
        bytes.insert(bytes.end(), tail, 0x55);
        EXPECT_NE(load(bytes), nullptr) << tail;
    }
}

// Lengths are unsigned: a length of 2^31 or more is a long chunk, and
// skipping it runs into the end of the file.
TEST_F(Container, HugeChunkLengthIsUnsigned)
{
    auto bytes = edited(modwriter::minimalModule(), [](std::vector<Chunk> &chunks) {
        Chunk &name = *modwriter::findChunk(chunks, "NAME");
        name.overrideLength = true;
        name.declaredLength = 0x80000010u;
    });
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_READ);
}

// A body that ends with the file before the handler's first read.
TEST_F(Container, FileEndingInsideBodyIsReadError)
{
    auto bytes = modwriter::write(modwriter::minimalModule());
    auto smpl = std::search(bytes.begin(), bytes.end(), "SMPL", "SMPL" + 4);
    bytes.erase(smpl + 8, bytes.end());
    EXPECT_EQ(refusal(bytes), LOAD_ERROR_READ);
}

// A host that delivers a few bytes per read loads the same module.
TEST_F(Container, PiecewiseReadsAreCompleted)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.samples[0].width = 8;
    desc.samples[0].frames.assign(9000, 0x21);
    desc.instruments[0].loopLength = 9000;
    kvhost::limitReads(3);
    ModuleHandle module = load(desc);
    ASSERT_NE(module, nullptr);
    EXPECT_STREQ(module->name, "Minimal");
    EXPECT_EQ(module->samples[0]->data[8999], 0x2100);
}

// A delivery cut short by the end of the file counts as complete, and the
// missing bytes are zero, not left over from the previous block.
TEST_F(Container, DataCutByEndOfFileIsZeroed)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.samples[0].width = 8;
    desc.samples[0].frames.assign(8192 + 4, 0x11);
    desc.instruments[0].loopLength = 8192 + 4;
    auto bytes = modwriter::write(desc);
    bytes.resize(bytes.size() - 2); // SMPL is the last chunk
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    const int16_t *data = module->samples[0]->data;
    EXPECT_EQ(data[8193], 0x1100);
    EXPECT_EQ(data[8194], 0);
    EXPECT_EQ(data[8195], 0);
}

// 16-bit data arrives in one read: a file that ends well inside it still
// loads, the frames the file lacks silent.
TEST_F(Container, SixteenBitDataCutByEndOfFileLoads)
{
    ModuleSpec desc = modwriter::minimalModule();
    desc.samples[0].width = 16;
    desc.samples[0].frames.assign(20000, 0x1234);
    desc.instruments[0].loopLength = 20000;
    auto bytes = modwriter::write(desc);
    bytes.resize(bytes.size() - 2 * 15000); // SMPL is the last chunk
    ModuleHandle module = load(bytes);
    ASSERT_NE(module, nullptr);
    const int16_t *data = module->samples[0]->data;
    EXPECT_EQ(data[4999], 0x1234);
    EXPECT_EQ(data[5000], 0);
    EXPECT_EQ(data[19999], 0);
}

} // namespace
} // namespace moduletest
