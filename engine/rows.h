// Row processing, note triggering, row effects and per-tick effects.
//
// processRow is called by the tick sequencer at each row start; applySlides
// at the start of every tick and runCountdowns after row processing. The
// engine's module and tracks must be set; speed is 1..31 while playing.
#pragma once

#include "engine/engine.h"

namespace dbm {

// Processes row currentRow of currentPattern for every track, noting it as
// the row played (playedOrder, playedRow, playedPattern), then advances the
// position (currentRow + 1, or the next order position).
void processRow(Engine *engine);
// Volume and panning from the track's current instrument (x speed), both
// envelopes back to their first point; nothing without an instrument.
void applyInstrumentDefaults(Engine *engine, TrackState &track);
// Releases the earliest hold or loop point of the volume envelope (and of the
// panning envelope); without a volume envelope silences the track at once.
void keyOff(TrackState &track);
// Restarts the track's voice (chain must be built): envelopes from their
// first point, chain reset, direction and start position sent, sounding.
void restartVoice(const Module *module, TrackState &track);

// One effect command of a pattern entry (0..35; others do nothing).
void applyRowEffect(Engine *engine, TrackState &track, uint8_t effect, uint8_t parameter);
// Effect 14: sub-command parameter >> 4 with argument parameter & 15.
void applyExtendedEffect(Engine *engine, TrackState &track, uint8_t parameter);
// Two decimal digits as 0..99; 0 when either nibble is above 9.
uint8_t decodeBcd(uint8_t value);
// Change of a track's volumeSlide for a volume-slide parameter (effects 5, 6
// and 10) at `speed` ticks per row.
int32_t volumeSlideChange(uint8_t parameter, int32_t speed);
// Effect 31: echo on (0x00 this track, 0x10 every track, 0x20 track mode) or
// off (0x01 this track's global echo, 0x11 every global echo, 0x21 this
// track's track-mode echo); other parameters do nothing.
void applyEchoSwitch(Engine *engine, TrackState &track, uint8_t parameter);
// Effects 32..35: sends the track's four echo settings to its own track-mode
// echo, or else copies them to every track with a global echo and sends them there.
void setEchoParameters(Engine *engine, TrackState &track);

// Per-tick passes.
void applySlides(Engine *engine);
void runCountdowns(Engine *engine);

} // namespace dbm
