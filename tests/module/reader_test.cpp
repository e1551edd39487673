// The reader, rule by rule: files it refuses with their error code (1 open,
// 2 memory, 3 data, 4 version, 5 read, 6 order), files it accepts with what
// it makes of them, and every allocation and read failing in turn (which
// releases a module in every state of construction: null, empty slots,
// counts with no arrays behind them).
#include "tests/support/load.h"
#include "tests/support/modules.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <sstream>

namespace {

using namespace dbm;
using modwriter::Chunk;
using modwriter::EnvelopeSpec;
using modwriter::ModuleSpec;
using testsupport::ModuleHandle;
using Bytes = std::vector<uint8_t>;
using Chunks = std::vector<Chunk>;

// The minimal module (4 tracks, one 32-frame sample looped whole), edited,
// written, and its chunk list edited.
Bytes file(const std::function<void(ModuleSpec &)> &edit, const std::function<void(Chunks &)> &editChunks = {})
{
    ModuleSpec d = modwriter::minimalModule();
    if (edit)
        edit(d);
    Chunks chunks = modwriter::chunks(d);
    if (editChunks)
        editChunks(chunks);
    return modwriter::assemble(chunks, d.version, d.revision);
}

Bytes cut(Bytes bytes, size_t count)
{
    bytes.resize(bytes.size() - count);
    return bytes;
}

Bytes chunkEdit(const std::function<void(Chunks &)> &edit) { return file({}, edit); }
Bytes &body(Chunks &chunks, const char *id) { return modwriter::findChunk(chunks, id)->body; }

// Three instruments; these volume (or panning) envelopes.
void envelopes(ModuleSpec &d, std::vector<EnvelopeSpec> list, bool panning = false)
{
    d.instruments.resize(3, d.instruments[0]);
    (panning ? d.panningEnvelopes : d.volumeEnvelopes) = std::move(list);
}

// An enabled envelope of `owner` with these points.
EnvelopeSpec owned(uint16_t owner, std::vector<std::pair<uint16_t, int16_t>> points = {}, uint8_t lastPoint = 1)
{
    return {owner, 1, lastPoint, 0, 0, 0, 0, std::move(points)};
}

// An envelope for instrument 1 with points (10 j, j) for j = 0..31.
EnvelopeSpec ramp(uint8_t flags, uint8_t lastPoint, uint8_t sustainA = 0, uint8_t loopStart = 0,
                  uint8_t loopEnd = 0, uint8_t sustainB = 0)
{
    EnvelopeSpec e{1, flags, lastPoint, sustainA, loopStart, loopEnd, sustainB, {}};
    for (int j = 0; j < 32; ++j)
        e.points.push_back({uint16_t(10 * j), int16_t(j)});
    return e;
}

Bytes packed(uint16_t rows, Bytes bytes)
{
    return file([&](ModuleSpec &d) {
        d.patterns[0].rows = rows;
        d.patterns[0].packed = bytes;
    });
}

Bytes sample(unsigned width, std::vector<int32_t> frames, uint32_t flags = 0)
{
    return file([&](ModuleSpec &d) {
        d.samples[0] = {width, frames, flags};
        d.instruments[0].loopLength = 0;
    });
}

class Reader : public testsupport::HostTest {};

// The module as text, for the rows below to find pieces of: header; per
// instrument, song, pattern (its cells that are not empty, as [row,track]
// and seven fields), sample (length, first four and last three values);
// echo; per envelope (its points up to one after the last). "-" is none.
std::string text(const Module &m)
{
    std::ostringstream o;
    auto index = [](uint16_t i) { return i == INDEX_NONE ? std::string("-") : std::to_string(i); };
    o << "v" << m.version << " r" << m.revision << " '" << (m.name ? m.name : "-") << "'";
    for (const Instrument *i : std::vector<Instrument *>(m.instruments, m.instruments + m.instrumentCount))
        o << " | inst '" << i->name << "' sample " << i->sample << " vol " << i->volume << " rate " << i->baseRate << " loop "
          << i->loopStart << "+" << i->loopLength << " pan " << i->panning << " flags " << std::hex << i->flags << std::dec
          << " type " << i->type << " env " << index(i->volumeEnvelope) << "," << index(i->panningEnvelope);
    for (const Song *song : std::vector<Song *>(m.songs, m.songs + m.songCount)) {
        o << " | song '" << song->name << "' orders" << (song->orders ? "" : " -");
        for (int k = 0; k < song->orderCount; ++k)
            o << " " << song->orders[k];
    }
    for (const Pattern *p : std::vector<Pattern *>(m.patterns, m.patterns + m.patternCount)) {
        o << " | rows " << p->rows;
        for (int k = 0; k < p->rows * m.trackCount; ++k) {
            const uint8_t *b = reinterpret_cast<const uint8_t *>(&p->entries[k]);
            if (std::any_of(b, b + 8, [](uint8_t x) { return x != 0; }))
                o << " [" << k / m.trackCount << "," << k % m.trackCount << "] " << int(b[0]) << "," << int(b[1]) << ","
                  << int(b[2]) << "," << int(b[3]) << "," << int(b[4]) << "," << int(b[5]) << "," << int(b[6]) << "," << int(b[7]);
        }
    }
    for (const Sample *smp : std::vector<Sample *>(m.samples, m.samples + m.sampleCount)) {
        o << " | length " << smp->length << (smp->data ? " data" : " -");
        for (uint32_t k = 0; k < smp->length; k = k == 3 && smp->length > 7 ? smp->length - 3 : k + 1)
            o << " " << smp->data[k];
    }
    o << " | echo";
    for (int t = 0; t < m.trackCount; ++t)
        o << " " << m.trackFlags[t];
    o << " " << int(m.echoDelay) << "," << int(m.echoFeedback) << "," << int(m.echoMix) << "," << int(m.echoCross);
    for (int kind = 0; kind < 2; ++kind)
        for (int k = 0; k < (kind ? m.panningEnvelopeCount : m.volumeEnvelopeCount); ++k) {
            const Envelope &e = (kind ? m.panningEnvelopes : m.volumeEnvelopes)[k];
            o << (kind ? " | penv " : " | venv ") << index(e.instrument) << " last " << e.lastPoint << " loop "
              << index(e.loopStart) << "-" << index(e.loopEnd) << " sustain " << index(e.sustainA) << "," << index(e.sustainB);
            for (int j = 0; j <= std::min(e.lastPoint + 1, 31); ++j)
                o << " " << e.points[j].position << ":" << e.points[j].value;
        }
    return o.str();
}

// One row per rule: a file and the code it is refused with, or 0 and a piece
// of the text of the module read from it.
TEST_F(Reader, FilesByTheRules)
{
    struct Row {
        std::string rule;
        int32_t code;
        Bytes bytes;
        std::string piece = {};
    };
    std::vector<Row> rows = {
        {"version 1 is not read", 4, file([](auto &d) { d.version = 1; })},
        {"version 4 is not read", 4, file([](auto &d) { d.version = 4; })},
        {"an empty file has no header", 5, {}},
        {"a 40-byte NAME is read past its end", 3, chunkEdit([](auto &c) { body(c, "NAME").resize(40); })},
        {"no INFO", 3, chunkEdit([](auto &c) { c.resize(1); })},
        {"no SMPL leaves sample slots empty", 3, chunkEdit([](auto &c) { c.pop_back(); })},
        {"a chunk length of 2^31 or more is unsigned and runs past the end", 5, chunkEdit([](auto &c) {
             c[0].overrideLength = true;
             c[0].declaredLength = 0x80000010u;
         })},
        {"the file ends inside a body", 5, {}},
        {"base rate 1999", 3, file([](auto &d) { d.instruments[0].baseRate = 1999; })},
        {"base rate 192001", 3, file([](auto &d) { d.instruments[0].baseRate = 192001; })},
        {"base rate 0", 3, file([](auto &d) { d.instruments[0].baseRate = 0; })},
        {"loop start at the sample's end", 3, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 32, 1, 0, 1}; })},
        {"loop end past the sample's end", 3, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 16, 17, 0, 1}; })},
        {"loop end wraps past 2^32", 3, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 16, 0xFFFFFFF0u, 0, 1}; })},
        {"loop start 2^32 - 1", 3, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 0xFFFFFFFFu, 1, 0, 1}; })},
        {"an order names a missing pattern", 3, file([](auto &d) { d.songs[0].orders = {0, 1}; })},
        {"song 0 without orders", 3, file([](auto &d) { d.songs[0].orders.clear(); })},
        {"DSPE of another track count", 3, file([](auto &d) { d.dspe = true; }, [](auto &c) {
             c.back().body = modwriter::dspeBody(modwriter::minimalModule(2));
         })},
        {"envelope loop end not after its start", 3,
         file([](auto &d) { envelopes(d, {ramp(5, 3, 0, 2, 2)}); })},
        {"envelope loop end past the last point", 3, file([](auto &d) { envelopes(d, {ramp(5, 3, 0, 0, 4)}); })},
        {"sustain A past the last point", 3, file([](auto &d) { envelopes(d, {ramp(11, 6, 7, 0, 0, 2)}); })},
        {"sustain B past the last point", 3, file([](auto &d) { envelopes(d, {ramp(11, 6, 1, 0, 0, 7)}); })},
        {"version 2 panning value 65", 3, file([](auto &d) {
             d.version = 2;
             envelopes(d, {owned(1, {{0, 0}, {1, 65}}, 1)}, true);
         })},
        {"version 3 panning value 129", 3,
         file([](auto &d) { envelopes(d, {owned(1, {{0, -128}, {1, 129}}, 1)}, true); })},
        {"volume value -1", 3, file([](auto &d) { envelopes(d, {owned(1, {{0, 0}, {0, -1}}, 1)}); })},
        {"volume value 65", 3, file([](auto &d) { envelopes(d, {owned(1, {{0, 0}, {0, 65}}, 1)}); })},
        {"position 2049", 3, file([](auto &d) { envelopes(d, {owned(1, {{0, 0}, {2049, 9}}, 1)}); })},
        {"volume envelope of instrument 4 of 3", 3, file([](auto &d) { envelopes(d, {owned(4)}); })},
        {"panning envelope of instrument 4 of 3", 3, file([](auto &d) { envelopes(d, {owned(4)}, true); })},
        {"256 envelopes", 3, file([](auto &d) { envelopes(d, {{}}); }, [](auto &c) { body(c, "VENV")[0] = 1; })},
        {"PENV ends inside a record", 3,
         file([](auto &d) { envelopes(d, {{}}, true); }, [](auto &c) { body(c, "PENV").resize(2 + 135); })},
        {"track byte 5 of 4 tracks", 3, packed(1, {0x05, 0x02, 0x09})},
        {"a pattern of 0 rows", 3, packed(0, {0x00})},
        {"packed size 0", 3, chunkEdit([](auto &c) { body(c, "PATT") = {0, 1, 0, 0, 0, 0}; })},
        {"packed size past the chunk", 3, chunkEdit([](auto &c) { body(c, "PATT") = {0, 1, 255, 255, 255, 255, 0}; })},
        {"sample length 2^31", 3, file([](auto &d) { d.samples[0] = {16, {}, 0, true, 0x80000000u}; })},
        {"sample length past the chunk, asked before any memory", 3,
         file([](auto &d) { d.samples[0] = {16, {}, 0, true, 0x7FFFFFFFu}; })},
    };
    rows[7].bytes = file({});
    rows[7].bytes.resize(std::search(rows[7].bytes.begin(), rows[7].bytes.end(), "SMPL", "SMPL" + 4) -
                         rows[7].bytes.begin() + 8);
    for (int i = 0; i < 4; ++i) {
        rows.push_back({"magic byte " + std::to_string(i) + " in the other case", 3, file({})});
        rows.back().bytes[i] ^= 0x20;
    }
    const auto everyChunk = [](ModuleSpec &d) {
        d.dspe = true;
        d.samples[0].width = 8;
        envelopes(d, {{}});
        d.panningEnvelopes = {{}};
    };
    for (const char *id : {"SONG", "INST", "PATT", "SMPL", "VENV", "PENV", "DSPE"}) {
        rows.push_back({std::string(id) + " before INFO", 6,
                        file(everyChunk, [&](auto &c) { c.insert(c.begin(), *modwriter::findChunk(c, id)); })});
        rows.push_back({std::string(id) + " one byte short", 3, file(everyChunk, [&](auto &c) { body(c, id).pop_back(); })});
    }
    const uint16_t counts[][5] = {{1, 1, 1, 1, 3}, {1, 1, 1, 1, 0}, {1, 1, 1, 1, 256}, {0, 1, 1, 1, 4},
                                  {256, 1, 1, 1, 4}, {1, 0, 1, 1, 4}, {1, 256, 1, 1, 4}, {1, 1, 0, 1, 4},
                                  {1, 1, 256, 1, 4}, {1, 1, 1, 0, 4}};
    for (const auto &n : counts)
        rows.push_back({"INFO counts out of range, " + std::to_string(n[0]) + std::to_string(n[1]) +
                            std::to_string(n[2]) + std::to_string(n[3]) + "/" + std::to_string(n[4]),
                        3, chunkEdit([&](auto &c) { body(c, "INFO") = modwriter::infoBody(n[0], n[1], n[2], n[3], n[4]); })});
    for (uint32_t flags : {3u, 5u, 7u, 0x100u})
        rows.push_back({"sample width bits " + std::to_string(flags), 3, sample(16, {5}, flags)});
    for (unsigned width : {8u, 16u, 32u})
        rows.push_back({"sample data past its chunk, " + std::to_string(width) + " bits", 3,
                        file([&](auto &d) { d.samples.push_back({width, std::vector<int32_t>(100, 3)}); },
                             [](auto &c) { c.back().body.pop_back(); })});
    auto v = [](std::initializer_list<int> values) { return std::vector<int32_t>(values); };
    const Bytes disabled = file([](auto &d) { envelopes(d, {{2, 2 | 4 | 8, 3, 200, 9, 1, 200, {{5000, -300}}}}); });
    const std::string copy = "inst 'Instrument' sample 0 vol 64 rate 8363 loop 0+32 pan 0 flags 1 type 1 env "; // of the first
    rows.insert(rows.end(), {
        {"the minimal module", 0, file({}),
         "v3 r0 'Minimal' | " + copy + "-,- | song 'Song' orders 0 | rows 64 [0,0] 0,4,1,0,0,0,0,0 | length 32 data"},
        {"version 2 is read", 0, file([](auto &d) { d.version = 2; }), "v2 "},
        {"revision 0x10 is decimal 10", 0, file([](auto &d) { d.revision = 0x10; }), "r10 "},
        {"revision 0xFF is 15 * 10 + 15", 0, file([](auto &d) { d.revision = 0xFF; }), "r165 "},
        {"the smallest file: no name, an empty sample without data", 0, file([](auto &d) {
             d = ModuleSpec{};
             d.tracks = 2, d.songs = {{"", {0}}}, d.instruments = {{"", 1, 64, 44100}}, d.patterns = {testsupport::pattern(1, 2)}, d.samples = {{}};
         }), "v3 r0 '-' | inst '' sample 0 vol 64 rate 44100 loop 0+0 pan 0 flags 0 type 1 env -,- | song '' orders 0 | rows 1 | length 0 -"},
        {"NAME and unknown chunks may come before INFO", 0,
         chunkEdit([](auto &c) { c.insert(c.begin(), {Chunk{"name", Bytes(3, 1)}, Chunk{"XTRA", Bytes(1000, 0xAB)}}); }), "'Minimal'"},
        {"a 60-byte NAME keeps 44 bytes", 0, chunkEdit([](auto &c) { body(c, "NAME").assign(60, 'n'); }), "'" + std::string(44, 'n') + "'"},
        {"a chunk met again replaces the first", 0, chunkEdit([](auto &c) {
             ModuleSpec d = modwriter::minimalModule();
             d.name = "Second";
             d.instruments[0].volume = 33;
             d.songs[0].name = "Again";
             d.patterns[0].rows = 7;
             d.samples[0].frames.assign(40, 5);
             for (const Chunk &chunk : modwriter::chunks(d))
                 c.push_back(chunk);
         }), "'Second' | inst 'Instrument' sample 0 vol 33 rate 8363 loop 0+32 pan 0 flags 1 type 1 env -,- | song 'Again' orders 0 | "
             "rows 7 [0,0] 0,4,1,0,0,0,0,0 | length 40 data 5 5 5 5 5 5 5"},
        {"8-bit data cut by the end of the file is zero, not the last block's", 0,
         cut(file([](auto &d) { d.samples[0] = {8, std::vector<int32_t>(8192 + 4, 0x11)}; }), 2), "length 8196 data 4352 4352 4352 4352 4352 0 0"},
        {"16-bit data cut by the end of the file is silent", 0,
         cut(file([](auto &d) { d.samples[0] = {16, std::vector<int32_t>(20000, 0x1234)}; }), 4), "length 20000 data 4660 4660 4660 4660 4660 0 0"},
        {"names fill their whole field", 0, file([](auto &d) {
             d.name = std::string(44, 'm');
             d.instruments[0].name = std::string(30, 'i');
             d.songs[0].name = std::string(44, 's');
         }), "'" + std::string(44, 'm') + "' | inst '" + std::string(30, 'i') + "'" + " sample 0 vol 64 rate 8363 loop 0+32 pan 0 "
             "flags 1 type 1 env -,- | song '" + std::string(44, 's') + "'"},
        {"an instrument record in host order", 0, file([](auto &d) { d.instruments[0] = {"Lead", 1, 0x1234, 22050, 4, 20, -77, 0xFF02}; }),
         "inst 'Lead' sample 0 vol 4660 rate 22050 loop 4+20 pan -77 flags ff02 type 1 env -,-"},
        {"a loop of length 0 is no loop and has no start", 0, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 5, 0, 0, 0x0101}; }),
         "loop 0+0 pan 0 flags 100 "},
        {"a loop over the whole sample", 0, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 0, 32, 0, 1}; }), "loop 0+32 "},
        {"a loop over the last frame", 0, file([](auto &d) { d.instruments[0] = {"", 1, 64, 8363, 31, 1, 0, 1}; }), "loop 31+1 "},
        {"an empty sample has no loop", 0, file([](auto &d) { d.samples[0].frames.clear(); }), "loop 0+0 pan 0 flags 0 "},
        {"base rate 2000", 0, file([](auto &d) { d.instruments[0].baseRate = 2000; }), "rate 2000 "},
        {"base rate 192000", 0, file([](auto &d) { d.instruments[0].baseRate = 192000; }), "rate 192000 "},
        {"orders in host order", 0, file([](auto &d) { d.patterns.resize(2, d.patterns[0]), d.songs[0].orders = {1, 0, 1}; }), "orders 1 0 1 |"},
        {"a later song may have no orders and gets no list", 0, file([](auto &d) { d.songs.push_back({"Empty", {}}); }),
         "song 'Empty' orders - |"},
        {"without DSPE no echo and the default settings", 0, file({}), "echo 0 0 0 0 64,128,128,255"},
        {"DSPE: a zero byte turns echo on, settings keep their low byte", 0,
         file([](auto &d) { d.dspe = true, d.echoTrackBytes = {0, 1, 1, 1}, d.echoDelay = 0x1234, d.echoFeedback = 7, d.echoMix = 0xFF00, d.echoCross = 0x0180; }),
         "echo 1 0 0 0 52,7,0,128"},
        {"two DSPE chunks add their echo tracks", 0, file([](auto &d) { d.dspe = true, d.echoTrackBytes = {0, 1, 1, 1}; }, [](auto &c) {
             c.push_back(c.back());
             c.back().body[2] = 1, c.back().body[3] = 0;
         }), "echo 1 1 0 0 "},
        {"a last point above 31 means 31", 0, file([](auto &d) { envelopes(d, {ramp(1, 40)}); }), "venv 1 last 31 loop --- sustain -,- 0:0 10:1 "},
        {"points after the last stay zero; no loop or sustain unless flagged", 0, file([](auto &d) { envelopes(d, {ramp(1, 3, 1, 1, 2)}); }),
         "venv 1 last 3 loop --- sustain -,- 0:0 10:1 20:2 30:3 0:0"},
        {"the point at index 31", 0, file([](auto &d) { envelopes(d, {ramp(1, 31)}); }), " 300:30 310:31"},
        {"an envelope loop inside the points", 0, file([](auto &d) { envelopes(d, {ramp(5, 3, 0, 1, 2)}); }), "last 3 loop 1-2 sustain -,-"},
        {"sustain points are put in order", 0, file([](auto &d) { envelopes(d, {ramp(11, 6, 5, 0, 0, 2)}); }), "last 6 loop --- sustain 2,5"},
        {"a disabled record stores no loop, sustain or points", 0, disabled, "venv 2 last 3 loop --- sustain -,- 0:0 0:0 0:0 0:0 0:0"},
        {"a disabled record is still linked to its owner", 0, disabled, "env 0,-"},
        {"version 2 panning 0..64 becomes -128..128", 0, file([](auto &d) {
             d.version = 2;
             envelopes(d, {owned(1, {{0, 0}, {1, 32}, {2, 64}}, 2)}, true);
         }), "penv 1 last 2 loop --- sustain -,- 0:-128 1:0 2:128 0:0"},
        {"version 3 panning -128..128 as it is", 0, file([](auto &d) { envelopes(d, {owned(1, {{0, -128}, {1, 128}}, 1)}, true); }),
         "penv 1 last 1 loop --- sustain -,- 0:-128 1:128 0:0"},
        {"volume 0..64 at positions up to 2048", 0, file([](auto &d) { envelopes(d, {owned(1, {{0, 0}, {2048, 64}}, 1)}); }),
         "venv 1 last 1 loop --- sustain -,- 0:0 2048:64 0:0"},
        {"owners 0 and 300 are no instrument", 0, file([](auto &d) { envelopes(d, {owned(0), owned(300)}); }),
         "env -,- | " + copy + "-,- | " + copy + "-,- | song"},
        {"owners 0 and 300 are none", 0, file([](auto &d) { envelopes(d, {owned(0), owned(300)}); }), "venv - last 1 loop --- sustain -,- 0:0 0:0 0:0 | venv - "},
        {"of two envelopes naming an instrument the later is linked", 0, file([](auto &d) {
             envelopes(d, {owned(3), owned(1), owned(3)});
             d.panningEnvelopes = {owned(1)};
         }), "env 1,0 | " + copy + "-,- | " + copy + "2,- |"},
        {"an envelope count of 0 leaves no array", 0, file([](auto &d) { envelopes(d, {{}}); }, [](auto &c) { body(c, "VENV") = {0, 0}; }),
         "echo 0 0 0 0 64,128,128,255"},
        {"track 1, mask 3: note and instrument", 0, packed(2, {0x01, 0x03, 0x25, 0x11, 0x00}), "rows 2 [0,0] 5,2,17,0,0,0,0,0 |"},
        {"mask bits 2 and 3 are effect 1 and its parameter, 4 and 5 effect 2", 0, packed(1, {0x02, 0x0C, 0x0A, 0x40, 0x03, 0x30, 0x0F, 0x01}),
         "rows 1 [0,1] 0,0,0,10,64,0,0,0 [0,2] 0,0,0,0,0,15,1,0 |"},
        {"mask bits 6 and 7 announce nothing", 0, packed(1, {0x01, 0xC0, 0x04, 0x02, 0x07}), "rows 1 [0,3] 0,0,7,0,0,0,0,0 |"},
        {"track byte 4 of 4 tracks", 0, packed(1, {0x04, 0x02, 0x09}), "rows 1 [0,3] 0,0,9,0,0,0,0,0 |"},
        {"bytes after the last row are not looked at", 0, packed(2, {0x00, 0x01, 0x02, 0x08, 0x00, 0x00, 0x00, 0xFF, 0x7F}),
         "rows 2 [1,0] 0,0,8,0,0,0,0,0 |"},
        {"a cell after the last row is not stored (past the pattern's end)", 0, packed(1, {0x00, 0x01, 0x02, 0x09}), "rows 1 |"},
        {"a stream ending inside an entry keeps what it reached", 0, packed(1, {0x01, 0x3F, 0x31, 0x02}), "rows 1 [0,0] 1,3,2,0,0,0,0,0 |"},
        {"written cells come back in place", 0, file([](auto &d) {
             d.tracks = 6;
             d.patterns[0] = testsupport::pattern(5, 6, {{4, 5, {11, 7, 1, 0x0E, 0xC3, 35, 0xFF}}, {2, 0, {0, 0, 0, 0, 0, 0, 1}}});
         }), "rows 5 [2,0] 0,0,0,0,0,0,1,0 [4,5] 11,7,1,14,195,35,255,0 |"},
        {"8-bit values times 256", 0, sample(8, v({0x80, 0x7F, 0xFF, 0, 1})), "length 5 data -32768 32512 -256 0 256 |"},
        {"16-bit values big-endian", 0, sample(16, v({0x8000, 0x1234, 0xFFFF, 0x7FFF})), "length 4 data -32768 4660 -1 32767 |"},
        {"32-bit values keep their upper half", 0, sample(32, v({0x12345678, -65536, INT32_MIN, 0xFFFF})), "length 4 data 4660 -1 -32768 0 |"},
        {"width bits do not matter without data", 0, sample(16, {}, 0x10), "length 0 - |"},
        {"flag bits above the width do not matter", 0, sample(16, {5}, 0x102), "length 1 data 5 |"},
    });
    for (uint16_t number : {0, 3, 65535})
        rows.push_back({"sample number " + std::to_string(number) + " means the first", 0, file([&](auto &d) {
                            d.samples.push_back(d.samples[0]);
                            d.instruments[0].sample = number;
                        }), "'Instrument' sample 0 "});
    for (int tail : {1, 7})
        rows.push_back({std::to_string(tail) + " bytes after the last chunk are the end", 0, cut(file({}), -tail), "'Minimal'"});
    // Frame i holds i in the stored bits that survive, in samples of 20000
    // frames: every scratch block converts.
    std::vector<int32_t> ramp8(20000), ramp32(20000);
    for (int i = 0; i < 20000; ++i) {
        ramp8[i] = i;
        ramp32[i] = int32_t(uint32_t(i) << 16 | 0xFFFF);
    }
    rows.push_back({"8-bit samples across scratch blocks", 0, sample(8, ramp8), "length 20000 data 0 256 512 768 7424 7680 7936 |"});
    rows.push_back({"32-bit samples across scratch blocks", 0, sample(32, ramp32), "length 20000 data 0 1 2 3 19997 19998 19999 |"});
    for (const Row &row : rows) {
        int32_t code = 12345; // left alone on success
        ModuleHandle module(testsupport::loadBytes(row.bytes, &code));
        EXPECT_EQ(module == nullptr, row.code != 0) << row.rule;
        EXPECT_EQ(code, row.code ? row.code : 12345) << row.rule;
        if (module) {
            EXPECT_NE(text(*module).find(row.piece), std::string::npos) << row.rule << "\n" << text(*module);
        }
    }
    int32_t code = 0;
    EXPECT_EQ(loadModule("/nonexistent/module.dbm", &code, nullptr, nullptr), nullptr);
    EXPECT_EQ(code, 1);
}

// Every chunk kind, every sample width, a short tail: the file the sweeps load.
Bytes everyKind()
{
    ModuleSpec d = testsupport::busyModule();
    d.samples.push_back({16, {}});
    d.songs.push_back({"Empty", {}});
    Bytes bytes = modwriter::write(d);
    bytes.push_back(0);
    return bytes;
}

// The k-th allocation failing gives code 2, the k-th read failing code 5
// (even where the file could have ended), for every k a load makes; reads
// of 3 bytes at a time load the same module. The fixture checks that every
// refusal, and every load of the file cut short anywhere, released its blocks
// and closed the file.
TEST_F(Reader, EveryAllocationAndReadFailingInTurn)
{
    const Bytes bytes = everyKind();
    const uint64_t allocations = kvhost::allocationCount(), reads = kvhost::readCount();
    ModuleHandle whole(testsupport::loadBytes(bytes));
    ASSERT_NE(whole, nullptr);
    const uint64_t allocated = kvhost::allocationCount() - allocations, read = kvhost::readCount() - reads;
    ASSERT_GT(allocated, 20u);
    ASSERT_GT(read, 20u);
    for (uint64_t k = 1; k <= std::max(allocated, read); ++k)
        for (int32_t expected : {2, 5}) {
            if (expected == 2 ? k > allocated : k > read)
                continue;
            (expected == 2 ? kvhost::failAllocation : kvhost::failRead)(k);
            int32_t code = 0;
            EXPECT_EQ(ModuleHandle(testsupport::loadBytes(bytes, &code)), nullptr) << k;
            EXPECT_EQ(code, expected) << "failure " << k;
            kvhost::resetHostControls();
        }
    kvhost::limitReads(3);
    ModuleHandle piecewise(testsupport::loadBytes(bytes));
    kvhost::resetHostControls();
    ASSERT_NE(piecewise, nullptr);
    EXPECT_EQ(text(*piecewise), text(*whole));
    for (size_t end = 1; end < bytes.size(); end += 7)
        ModuleHandle(testsupport::loadBytes(Bytes(bytes.begin(), bytes.begin() + end)));
}

} // namespace
