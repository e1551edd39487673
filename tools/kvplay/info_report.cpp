#include "tools/kvplay/info_report.h"

#include "tools/kvplay/length_plan.h"
#include "tools/kvplay/summary.h"

#include <cstdarg>
#include <cstdio>

namespace kvplay {
namespace {

class Text {
public:
    void line(const char *format, ...) __attribute__((format(printf, 2, 3)))
    {
        char buffer[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        text_ += buffer;
        text_ += '\n';
    }
    std::string take() { return std::move(text_); }

private:
    std::string text_;
};

const char *name(const char *text)
{
    return text ? text : "";
}

std::string loopText(const dbm::Instrument &instrument)
{
    const char *mode = nullptr;
    switch (instrument.flags & dbm::INSTRUMENT_LOOP_MASK) {
    case dbm::LOOP_NONE:
        return "no loop";
    case dbm::LOOP_FORWARD:
        mode = "forward loop";
        break;
    case dbm::LOOP_PINGPONG:
        mode = "ping-pong loop";
        break;
    default:
        mode = "loop mode 3";
        break;
    }
    return std::string(mode) + " " + std::to_string(instrument.loopStart) + "+" +
           std::to_string(instrument.loopLength);
}

std::string envelopeLink(uint16_t index)
{
    return index == dbm::INDEX_NONE ? "none" : std::to_string(index + 1);
}

void describeEnvelopes(Text &out, const char *kind, const dbm::Envelope *envelopes, uint16_t count)
{
    for (uint16_t i = 0; i < count; ++i) {
        const dbm::Envelope &e = envelopes[i];
        std::string marks;
        if (e.sustainA != dbm::INDEX_NONE)
            marks += ", sustain at " + std::to_string(e.sustainA);
        if (e.sustainB != dbm::INDEX_NONE)
            marks += ", sustain at " + std::to_string(e.sustainB);
        if (e.loopStart != dbm::INDEX_NONE)
            marks += ", loop " + std::to_string(e.loopStart) + "-" + std::to_string(e.loopEnd);
        std::string owner = e.instrument == dbm::INDEX_NONE ? "no instrument"
                                                             : "instrument " + std::to_string(e.instrument);
        out.line("  %s %u (%s): %u points, %u ticks%s", kind, unsigned(i + 1), owner.c_str(),
                 unsigned(e.lastPoint + 1), unsigned(e.points[e.lastPoint].position), marks.c_str());
    }
}

std::string timeText(uint64_t frames)
{
    return clockTime(frames) + " (" + std::to_string(frames) + " frames)";
}

// The length of song `song` from the song-length scan, as the line under it.
std::string songLength(const dbm::Module &module, uint16_t song)
{
    const dbm::SongDuration d = dbm::scanSongDuration(&module, OUTPUT_RATE, song);
    if (!d.valid)
        return "cannot be played";
    if (d.stops)
        return "plays " + timeText(d.frames);
    if (d.loops)
        return "loops: one pass " + timeText(d.loopEnd) + ", then again from " + timeText(d.loopStart);
    return "never stops";
}

} // namespace

std::string describeModule(const std::string &file, const dbm::Module &m,
                           const dbm::SongDuration &duration)
{
    Text out;
    out.line("%s: \"%s\"", file.c_str(), name(m.name));
    out.line("format version %u, revision %u", unsigned(m.version), unsigned(m.revision));

    std::string echoTracks;
    for (uint16_t t = 0; t < m.trackCount; ++t)
        if (m.trackFlags[t] & dbm::TRACK_FLAG_ECHO)
            echoTracks += (echoTracks.empty() ? "" : " ") + std::to_string(t + 1);
    out.line("tracks: %u", unsigned(m.trackCount));
    out.line("echo: %s; delay %u (%u ms), feedback %u, mix %u, cross-feed %u",
             echoTracks.empty() ? "no tracks" : ("tracks " + echoTracks).c_str(), unsigned(m.echoDelay),
             unsigned(m.echoDelay) * 2, unsigned(m.echoFeedback), unsigned(m.echoMix),
             unsigned(m.echoCross));

    out.line("instruments: %u", unsigned(m.instrumentCount));
    for (uint16_t i = 0; i < m.instrumentCount; ++i) {
        const dbm::Instrument &in = *m.instruments[i];
        out.line("  %3u \"%s\": base rate %u Hz, sample %u, volume %u, panning %d, %s, "
                 "volume envelope %s, panning envelope %s",
                 unsigned(i + 1), name(in.name), unsigned(in.baseRate), unsigned(in.sample + 1),
                 unsigned(in.volume), int(in.panning), loopText(in).c_str(),
                 envelopeLink(in.volumeEnvelope).c_str(), envelopeLink(in.panningEnvelope).c_str());
    }

    out.line("samples: %u", unsigned(m.sampleCount));
    for (uint16_t i = 0; i < m.sampleCount; ++i)
        out.line("  %3u: %u frames", unsigned(i + 1), unsigned(m.samples[i]->length));

    out.line("songs: %u", unsigned(m.songCount));
    for (uint16_t i = 0; i < m.songCount; ++i) {
        const dbm::Song &song = *m.songs[i];
        std::string orders;
        for (uint16_t o = 0; o < song.orderCount && o < 64; ++o)
            orders += " " + std::to_string(song.orders[o]);
        if (song.orderCount > 64)
            orders += " ...";
        out.line("  %3u \"%s\": %u orders:%s", unsigned(i), name(song.name), unsigned(song.orderCount),
                 orders.c_str());
        out.line("        %s", songLength(m, i).c_str());
    }

    std::string rows;
    for (uint16_t p = 0; p < m.patternCount && p < 64; ++p)
        rows += " " + std::to_string(m.patterns[p]->rows);
    if (m.patternCount > 64)
        rows += " ...";
    out.line("patterns: %u, rows:%s", unsigned(m.patternCount), rows.c_str());

    out.line("envelopes: %u volume, %u panning", unsigned(m.volumeEnvelopeCount),
             unsigned(m.panningEnvelopeCount));
    describeEnvelopes(out, "volume", m.volumeEnvelopes, m.volumeEnvelopeCount);
    describeEnvelopes(out, "panning", m.panningEnvelopes, m.panningEnvelopeCount);

    if (!duration.valid) {
        out.line("duration: unknown (the song cannot be played)");
    } else if (!duration.stops) {
        out.line("duration: loops forever");
    } else {
        out.line("duration: %s", timeText(duration.frames).c_str());
    }
    return out.take();
}

} // namespace kvplay
