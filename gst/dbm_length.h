/*
 * How much of a song the dbmdec element plays, the same rule as kvplay's.
 *
 * A song that stops plays its scanned length, then its echo tail, rendered in
 * blocks of DBM_TAIL_BLOCK frames counted from the song's end: the tail goes
 * on until its output has stayed within +-DBM_QUIET_LEVEL for
 * DBM_QUIET_FRAMES frames (that quiet run is not played), or DBM_TAIL_FRAMES
 * frames have followed the song's end. Integer echo tails settle at +-1
 * instead of reaching zero, hence a level.
 *
 * A song that loops plays its first pass and `repeats` more passes of its
 * loop; a song that never stops plays DBM_ENDLESS_FRAMES. Both are cut off
 * without a tail, faded out linearly over their last frames (at most
 * DBM_LONGEST_FADE, at most a quarter of the length). No length goes past
 * DBMPLAY_MAX_SEEK_FRAMES.
 */
#ifndef DBM_LENGTH_H
#define DBM_LENGTH_H

#include <dbmplay.h>
#include <stdint.h>

#define DBM_TAIL_BLOCK 4096
#define DBM_QUIET_FRAMES ((uint64_t)DBMPLAY_RATE)
#define DBM_QUIET_LEVEL 2 /* about -84 dBFS */
#define DBM_TAIL_FRAMES ((uint64_t)3 * DBMPLAY_RATE)
#define DBM_ENDLESS_FRAMES ((uint64_t)300 * DBMPLAY_RATE)
#define DBM_LONGEST_FADE ((uint64_t)2 * DBMPLAY_RATE)

typedef struct {
    uint64_t song_frames; /* always played */
    uint64_t tail_frames; /* at most this many more, ended early by silence */
    uint64_t fade_frames; /* the last fade_frames of song_frames fade out */
} DbmLength;

/* The plan for a song of `length` played with `repeats` more loop passes
 * (repeats >= 0). */
DbmLength dbm_length_plan(const dbmplay_song_length *length, int repeats);

/* Applies the fade of `plan` to `count` frames of `samples` (interleaved
 * stereo) that start at frame `first` of the song. */
void dbm_length_fade(const DbmLength *plan, int16_t *samples, uint64_t first, uint64_t count);

/* Whether a sample of the stereo frame lies beyond +-DBM_QUIET_LEVEL. */
int dbm_length_loud(const int16_t *frame);

#endif
