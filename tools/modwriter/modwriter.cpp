#include "tools/modwriter/modwriter.h"

#include <algorithm>
#include <cstring>

namespace modwriter {

Cell &PatternSpec::at(unsigned row, unsigned track, unsigned tracks)
{
    size_t index = size_t(row) * tracks + track;
    if (cells.size() <= index)
        cells.resize(index + 1);
    return cells[index];
}

void putU8(std::vector<uint8_t> &out, uint8_t value)
{
    out.push_back(value);
}

void putU16(std::vector<uint8_t> &out, uint16_t value)
{
    out.push_back(uint8_t(value >> 8));
    out.push_back(uint8_t(value));
}

void putU32(std::vector<uint8_t> &out, uint32_t value)
{
    putU16(out, uint16_t(value >> 16));
    putU16(out, uint16_t(value));
}

void putText(std::vector<uint8_t> &out, const std::string &text, size_t width)
{
    for (size_t i = 0; i < width; ++i)
        out.push_back(i < text.size() ? uint8_t(text[i]) : 0);
}

ModuleSpec minimalModule(uint16_t tracks)
{
    ModuleSpec desc;
    desc.name = "Minimal";
    desc.tracks = tracks;
    SampleSpec sample;
    sample.width = 16;
    for (int i = 0; i < 32; ++i)
        sample.frames.push_back(i < 16 ? 12000 : -12000);
    desc.samples.push_back(sample);
    InstrumentSpec instrument;
    instrument.name = "Instrument";
    instrument.loopLength = 32;
    instrument.flags = 1;
    desc.instruments.push_back(instrument);
    desc.songs.push_back(SongSpec{"Song", {0}});
    PatternSpec pattern;
    Cell &cell = pattern.at(0, 0, tracks);
    cell.octave = 4;
    cell.instrument = 1;
    desc.patterns.push_back(pattern);
    return desc;
}

std::vector<uint8_t> nameBody(const std::string &name)
{
    std::vector<uint8_t> body;
    putText(body, name, 44);
    return body;
}

std::vector<uint8_t> infoBody(uint16_t instruments, uint16_t samples, uint16_t songs,
                              uint16_t patterns, uint16_t tracks)
{
    std::vector<uint8_t> body;
    putU16(body, instruments);
    putU16(body, samples);
    putU16(body, songs);
    putU16(body, patterns);
    putU16(body, tracks);
    return body;
}

std::vector<uint8_t> songBody(const std::vector<SongSpec> &songs)
{
    std::vector<uint8_t> body;
    for (const SongSpec &song : songs) {
        putText(body, song.name, 44);
        putU16(body, uint16_t(song.orders.size()));
        for (uint16_t order : song.orders)
            putU16(body, order);
    }
    return body;
}

std::vector<uint8_t> instrumentBody(const std::vector<InstrumentSpec> &instruments)
{
    std::vector<uint8_t> body;
    for (const InstrumentSpec &in : instruments) {
        putText(body, in.name, 30);
        putU16(body, in.sample);
        putU16(body, in.volume);
        putU32(body, in.baseRate);
        putU32(body, in.loopStart);
        putU32(body, in.loopLength);
        putU16(body, uint16_t(in.panning));
        putU16(body, in.flags);
    }
    return body;
}

std::vector<uint8_t> envelopeRecord(const EnvelopeSpec &envelope)
{
    std::vector<uint8_t> record;
    putU16(record, envelope.instrument);
    putU8(record, envelope.flags);
    putU8(record, envelope.lastPoint);
    putU8(record, envelope.sustainA);
    putU8(record, envelope.loopStart);
    putU8(record, envelope.loopEnd);
    putU8(record, envelope.sustainB);
    for (size_t i = 0; i < 32; ++i) {
        std::pair<uint16_t, int16_t> point{0, 0};
        if (i < envelope.points.size())
            point = envelope.points[i];
        putU16(record, point.first);
        putU16(record, uint16_t(point.second));
    }
    return record;
}

std::vector<uint8_t> envelopeBody(const std::vector<EnvelopeSpec> &envelopes)
{
    std::vector<uint8_t> body;
    putU16(body, uint16_t(envelopes.size()));
    for (const EnvelopeSpec &envelope : envelopes) {
        std::vector<uint8_t> record = envelopeRecord(envelope);
        body.insert(body.end(), record.begin(), record.end());
    }
    return body;
}

std::vector<uint8_t> packRows(const PatternSpec &pattern, uint16_t tracks)
{
    std::vector<uint8_t> packed;
    for (unsigned row = 0; row < pattern.rows; ++row) {
        for (unsigned track = 0; track < tracks; ++track) {
            size_t index = size_t(row) * tracks + track;
            if (index >= pattern.cells.size())
                break;
            const Cell &c = pattern.cells[index];
            uint8_t noteByte = uint8_t((c.octave << 4) | (c.note & 15));
            const uint8_t fields[6] = {noteByte, c.instrument, c.effect1, c.param1, c.effect2, c.param2};
            uint8_t mask = 0;
            for (int bit = 0; bit < 6; ++bit)
                if (fields[bit])
                    mask |= uint8_t(1 << bit);
            if (!mask)
                continue;
            packed.push_back(uint8_t(track + 1));
            packed.push_back(mask);
            for (int bit = 0; bit < 6; ++bit)
                if (mask & (1 << bit))
                    packed.push_back(fields[bit]);
        }
        packed.push_back(0);
    }
    while (packed.size() > 1 && packed.back() == 0)
        packed.pop_back();
    if (packed.empty())
        packed.push_back(0);
    return packed;
}

std::vector<uint8_t> patternBody(const std::vector<PatternSpec> &patterns, uint16_t tracks)
{
    std::vector<uint8_t> body;
    for (const PatternSpec &pattern : patterns) {
        std::vector<uint8_t> packed = pattern.packed.empty() ? packRows(pattern, tracks) : pattern.packed;
        putU16(body, pattern.rows);
        putU32(body, uint32_t(packed.size()));
        body.insert(body.end(), packed.begin(), packed.end());
    }
    return body;
}

std::vector<uint8_t> sampleBody(const std::vector<SampleSpec> &samples)
{
    std::vector<uint8_t> body;
    for (const SampleSpec &sample : samples) {
        uint32_t flags = sample.flagsOverride;
        if (!flags)
            flags = sample.width == 8 ? 1 : sample.width == 32 ? 4 : 2;
        putU32(body, flags);
        putU32(body, sample.overrideLength ? sample.declaredLength : uint32_t(sample.frames.size()));
        body.reserve(body.size() + sample.frames.size() * (sample.width / 8));
        for (int32_t frame : sample.frames) {
            if (sample.width == 8)
                putU8(body, uint8_t(frame));
            else if (sample.width == 32)
                putU32(body, uint32_t(frame));
            else
                putU16(body, uint16_t(frame));
        }
    }
    return body;
}

std::vector<uint8_t> dspeBody(const ModuleSpec &desc)
{
    std::vector<uint8_t> body;
    putU16(body, desc.tracks);
    for (unsigned t = 0; t < desc.tracks; ++t)
        putU8(body, t < desc.echoTrackBytes.size() ? desc.echoTrackBytes[t] : 1);
    putU16(body, desc.echoDelay);
    putU16(body, desc.echoFeedback);
    putU16(body, desc.echoMix);
    putU16(body, desc.echoCross);
    return body;
}

std::vector<Chunk> chunks(const ModuleSpec &desc)
{
    std::vector<Chunk> list;
    if (!desc.name.empty())
        list.push_back({"NAME", nameBody(desc.name)});
    list.push_back({"INFO", infoBody(uint16_t(desc.instruments.size()), uint16_t(desc.samples.size()),
                                     uint16_t(desc.songs.size()), uint16_t(desc.patterns.size()),
                                     desc.tracks)});
    list.push_back({"SONG", songBody(desc.songs)});
    list.push_back({"INST", instrumentBody(desc.instruments)});
    if (!desc.volumeEnvelopes.empty())
        list.push_back({"VENV", envelopeBody(desc.volumeEnvelopes)});
    if (!desc.panningEnvelopes.empty())
        list.push_back({"PENV", envelopeBody(desc.panningEnvelopes)});
    list.push_back({"PATT", patternBody(desc.patterns, desc.tracks)});
    list.push_back({"SMPL", sampleBody(desc.samples)});
    if (desc.dspe)
        list.push_back({"DSPE", dspeBody(desc)});
    return list;
}

std::vector<uint8_t> assemble(const std::vector<Chunk> &chunks, uint8_t version, uint8_t revision,
                              const char *magic)
{
    size_t total = 8;
    for (const Chunk &chunk : chunks)
        total += 8 + chunk.body.size();
    std::vector<uint8_t> out;
    out.reserve(total);
    putText(out, magic ? magic : "", 4);
    putU8(out, version);
    putU8(out, revision);
    putU16(out, 0);
    for (const Chunk &chunk : chunks) {
        putText(out, chunk.id, 4);
        putU32(out, chunk.overrideLength ? chunk.declaredLength : uint32_t(chunk.body.size()));
        out.insert(out.end(), chunk.body.begin(), chunk.body.end());
    }
    return out;
}

Chunk *findChunk(std::vector<Chunk> &chunks, const std::string &id)
{
    auto found = std::find_if(chunks.begin(), chunks.end(), [&](const Chunk &c) { return c.id == id; });
    return found == chunks.end() ? nullptr : &*found;
}

std::vector<uint8_t> write(const ModuleSpec &desc)
{
    return assemble(chunks(desc), desc.version, desc.revision);
}

} // namespace modwriter
