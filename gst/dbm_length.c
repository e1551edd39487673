/* How much of a song the dbmdec element plays (see dbm_length.h). */
#include "dbm_length.h"

#include <stdlib.h>

static uint64_t min_u64(uint64_t a, uint64_t b)
{
    return a < b ? a : b;
}

DbmLength dbm_length_plan(const dbmplay_song_length *length, int repeats)
{
    DbmLength plan = {0, 0, 0};
    if (length->ending == DBMPLAY_SONG_STOPS) {
        plan.song_frames = min_u64(length->frames, DBMPLAY_MAX_SEEK_FRAMES);
        plan.tail_frames = DBM_TAIL_FRAMES;
        return plan;
    }
    if (length->ending == DBMPLAY_SONG_LOOPS) {
        const uint64_t first = min_u64(length->frames, DBMPLAY_MAX_SEEK_FRAMES);
        const uint64_t loop = length->frames - length->loop_start;
        const uint64_t room = DBMPLAY_MAX_SEEK_FRAMES - first;
        /* Compared by division so that the product stays in range. */
        const int beyond = loop && (uint64_t)repeats > room / loop;
        plan.song_frames = first + (beyond ? room : (uint64_t)repeats * loop);
    } else {
        plan.song_frames = DBM_ENDLESS_FRAMES;
    }
    plan.fade_frames = min_u64(DBM_LONGEST_FADE, plan.song_frames / 4);
    return plan;
}

void dbm_length_fade(const DbmLength *plan, int16_t *samples, uint64_t first, uint64_t count)
{
    const uint64_t fade_start = plan->song_frames - plan->fade_frames;
    const uint64_t end = min_u64(first + count, plan->song_frames);
    for (uint64_t f = first > fade_start ? first : fade_start; f < end; ++f) {
        const int64_t left = (int64_t)(plan->song_frames - f);
        for (int c = 0; c < 2; ++c) {
            int16_t *s = &samples[2 * (f - first) + c];
            *s = (int16_t)((int64_t)*s * left / (int64_t)plan->fade_frames);
        }
    }
}

int dbm_length_loud(const int16_t *frame)
{
    return abs(frame[0]) > DBM_QUIET_LEVEL || abs(frame[1]) > DBM_QUIET_LEVEL;
}
