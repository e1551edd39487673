// libdbmplay: plays DBM0 music modules into 16-bit stereo PCM.
//
// The player of the digibooster.kvp sound plug-in as a small C library that
// needs no host: it takes memory from the C library (or from an allocator
// the caller gives) and reads modules from a path, from memory or through a
// read callback. Song 0 played through the library gives exactly the bytes
// the plug-in's audio stream delivers.
//
// Output: 44100 frames per second, 2 channels, native signed 16-bit samples,
// interleaved left then right (4 bytes per frame).
//
// Usage: open a player, optionally select a song, mute tracks or seek, then
// call dbmplay_render for as many frames as wanted, and close the player.
// Every player that an open function returns must be given to dbmplay_close
// exactly once; after that the handle must not be used.
//
// Thread rule: a player is used by one thread at a time (calls on one player
// must not overlap); any number of players may be used at once, each from
// its own thread. The functions that take no player may be called from any
// thread at any time.
//
// Indices: songs, tracks, instruments, samples and order positions are
// counted from 0 (instrument i is the one that patterns call i + 1).
// Results: functions that return int give DBMPLAY_OK (0) on success and a
// positive DBMPLAY_ERROR_ code on failure, unless said otherwise.
#ifndef DBMPLAY_H
#define DBMPLAY_H

#include <stddef.h>
#include <stdint.h>

#if defined(DBMPLAY_BUILDING) && defined(__GNUC__)
#define DBMPLAY_API __attribute__((visibility("default")))
#else
#define DBMPLAY_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

// The interface version this header describes. A new minor version only adds
// functions; a new major version changes the library's file name
// (libdbmplay.so.MAJOR).
#define DBMPLAY_VERSION_MAJOR 1
#define DBMPLAY_VERSION_MINOR 0
#define DBMPLAY_VERSION_PATCH 0
#define DBMPLAY_VERSION \
    ((DBMPLAY_VERSION_MAJOR << 16) | (DBMPLAY_VERSION_MINOR << 8) | DBMPLAY_VERSION_PATCH)

// The version of the library actually loaded, in the form of DBMPLAY_VERSION.
DBMPLAY_API unsigned dbmplay_version(void);

#define DBMPLAY_RATE 44100
#define DBMPLAY_CHANNELS 2

// The farthest position dbmplay_seek accepts: four hours, the length the
// plug-in's stream announces.
#define DBMPLAY_MAX_SEEK_FRAMES ((uint64_t)635040000)

// Error codes. 1 to 6 are the module reader's own codes.
enum {
    DBMPLAY_OK = 0,
    DBMPLAY_ERROR_OPEN = 1, // the file could not be opened
    DBMPLAY_ERROR_MEMORY = 2, // a memory request failed
    DBMPLAY_ERROR_DATA = 3, // not a DBM0 module, or damaged or unplayable data
    DBMPLAY_ERROR_VERSION = 4, // a DBM0 format version other than 2 or 3
    DBMPLAY_ERROR_READ = 5, // reading failed, or the data ended early
    DBMPLAY_ERROR_ORDER = 6, // a chunk that needs the module's counts came before them
    DBMPLAY_ERROR_ARGUMENT = 7 // a null pointer, or a number out of range
};

// A sentence in English describing an error code (DBMPLAY_OK included);
// never null. The text is constant and owned by the library.
DBMPLAY_API const char *dbmplay_error_text(int code);

// Memory for one player, from the caller. allocate returns a block of `size`
// bytes (size > 0; any content, any alignment suitable for every type), or
// null when it has none; release gives back a block that allocate returned
// (never null). Both receive `user` unchanged. They are called only from
// within calls on the player they were given for (open, render, seek, song
// selection and length, close), on the calling thread. Every block is
// released by dbmplay_close at the latest; a failed open releases
// everything before it returns.
typedef struct dbmplay_allocator {
    void *(*allocate)(void *user, size_t size);
    void (*release)(void *user, void *block);
    void *user;
} dbmplay_allocator;

// Reads up to `size` bytes (size > 0) of the module into `buffer`. Returns the
// bytes placed there: at least 1 while data remains (fewer than `size` is
// fine, reading goes on), 0 at the end of the data, negative on an error.
// Called only during dbmplay_open_reader, front to back, never seeking.
typedef long (*dbmplay_read_function)(void *user, void *buffer, size_t size);

typedef struct dbmplay_player dbmplay_player;

// Opens a module. The player starts at the beginning of song 0 with no track
// muted. `allocator` may be null (the C library's malloc and free are used);
// otherwise its two functions must not be null and the record is copied.
// `error` may be null; on success it is set to DBMPLAY_OK, on failure to the
// cause. Returns the new player, or null on failure with nothing left
// allocated and no file left open.
//
// dbmplay_open_file: `path` is a file name for fopen; the file is read once
// and closed before the call returns.
// dbmplay_open_memory: the `size` bytes at `data` are read during the call
// only; the caller may free them as soon as it returns.
// dbmplay_open_reader: `read` is called with `user` during this call only.
DBMPLAY_API dbmplay_player *dbmplay_open_file(const char *path, const dbmplay_allocator *allocator,
                                              int *error);
DBMPLAY_API dbmplay_player *dbmplay_open_memory(const void *data, size_t size,
                                                const dbmplay_allocator *allocator, int *error);
DBMPLAY_API dbmplay_player *dbmplay_open_reader(dbmplay_read_function read, void *user,
                                                const dbmplay_allocator *allocator, int *error);

// Releases the player and every block it holds. Null is accepted.
DBMPLAY_API void dbmplay_close(dbmplay_player *player);

// What the module holds. Texts are owned by the player and stay valid until
// it is closed. With a null player the counts are 0 and the texts null.
DBMPLAY_API const char *dbmplay_module_name(const dbmplay_player *player); // "" when unnamed
DBMPLAY_API int dbmplay_track_count(const dbmplay_player *player);
DBMPLAY_API int dbmplay_song_count(const dbmplay_player *player);
// Null when `song` is out of range; "" for an unnamed song.
DBMPLAY_API const char *dbmplay_song_name(const dbmplay_player *player, int song);
// Order positions of a song; 0 when `song` is out of range.
DBMPLAY_API int dbmplay_order_count(const dbmplay_player *player, int song);
DBMPLAY_API int dbmplay_instrument_count(const dbmplay_player *player);
// Null when `instrument` is out of range; "" for an unnamed instrument.
DBMPLAY_API const char *dbmplay_instrument_name(const dbmplay_player *player, int instrument);
// DBM0 samples carry no names: instruments name them. A sample's length in
// frames, or -1 when `sample` is out of range.
DBMPLAY_API int dbmplay_sample_count(const dbmplay_player *player);
DBMPLAY_API long dbmplay_sample_frames(const dbmplay_player *player, int sample);
// 1 when some track has an echo from the start or a pattern switches an echo
// on, else 0.
DBMPLAY_API int dbmplay_uses_echo(const dbmplay_player *player);

// How a song ends.
enum {
    DBMPLAY_SONG_STOPS = 0, // it stops; `frames` is where
    DBMPLAY_SONG_LOOPS = 1, // it comes back to an earlier point and repeats for ever
    DBMPLAY_SONG_ENDLESS = 2 // neither a stop nor a repetition within four hours
};

// The length of a song, from a scan of its rows (nothing is rendered).
//
// STOPS: `frames` frames play before the song's last tick ends; the voices
// and echoes may sound on after it (render goes on delivering them).
// LOOPS: `frames` is one pass through the song: at that frame the song is
// back at frame `loop_start` (0 when it starts over from its beginning), and
// from there it repeats the `frames - loop_start` frames of its loop for
// ever (the notes' sound may differ from pass to pass: echoes and voices
// carry over). A song played "N more times" ends at
// frames + N x (frames - loop_start).
// ENDLESS: `frames` and `loop_start` are both four hours of frames.
typedef struct dbmplay_song_length {
    uint64_t frames;
    uint64_t loop_start; // equals `frames` unless the song loops
    int ending; // DBMPLAY_SONG_STOPS, _LOOPS or _ENDLESS
} dbmplay_song_length;

// Scans song `song` (any song, not only the one selected; the player's
// playback is not disturbed). Takes memory from the player's allocator for
// the scan and gives it back. Returns DBMPLAY_ERROR_ARGUMENT for a null
// player or `length` or a song out of range, DBMPLAY_ERROR_MEMORY when the
// scan could not run; `length` is then unchanged.
DBMPLAY_API int dbmplay_get_song_length(dbmplay_player *player, int song, dbmplay_song_length *length);

// Starts song `song` from its beginning: the frame position is 0, every
// voice and echo of the previous song is gone, the mutes are kept. On
// failure (DBMPLAY_ERROR_ARGUMENT, DBMPLAY_ERROR_MEMORY) the player goes on
// as it was.
DBMPLAY_API int dbmplay_select_song(dbmplay_player *player, int song);

// Renders the next `frames` frames into `buffer` (room for 2 x frames
// samples), always exactly that many: after the song's end the voices and
// echoes sound on, then silence follows; a looping song goes on looping.
// For song 0 and any sequence of calls the bytes are those the plug-in's
// stream delivers for requests of the same sizes (within the stream's four
// hours); any other song plays as it would as song 0 of a module of its own. Returns DBMPLAY_OK; DBMPLAY_ERROR_ARGUMENT for a null player or a
// null buffer with frames > 0 (nothing rendered); DBMPLAY_ERROR_MEMORY when a
// note or echo could not get its memory during the call: the frames are
// still written and the song goes on without that voice or echo.
DBMPLAY_API int dbmplay_render(dbmplay_player *player, int16_t *buffer, size_t frames);

// Moves to frame `frame` of the song (the frame position of
// dbmplay_get_position): what follows is exactly what rendering from the
// song's start and discarding `frame` frames would give. Seeking costs the
// time of rendering the frames skipped over (from the song's start when
// seeking backwards). `frame` may be at most DBMPLAY_MAX_SEEK_FRAMES.
// Returns DBMPLAY_ERROR_ARGUMENT (the player is unchanged);
// DBMPLAY_ERROR_MEMORY when the player could not start over (unchanged) or
// when a note or echo on the way could not get its memory (the player is at
// `frame`, that voice or echo missing).
DBMPLAY_API int dbmplay_seek(dbmplay_player *player, uint64_t frame);

// Moves to order position `order` of the selected song: to the first frame
// at which the song, played from its start, plays a row of that position
// (exactly as dbmplay_seek to that frame). A position the song never reaches
// before it stops or repeats is played from its first row with the player's
// start settings (no voice sounding, speed 6, tempo 125); the frame position
// then counts from there. Errors as for dbmplay_seek; `order` must be below
// dbmplay_order_count.
DBMPLAY_API int dbmplay_seek_order(dbmplay_player *player, int order);

// Where the player is. `frame` is the number of frames rendered since the
// song's start (after a seek, the frame sought). The other fields describe
// the tick whose frame was rendered last (before the first frame: the
// song's first row, tick 0): the song, the order position, the pattern
// there, the row and the tick within the row. `ended` is 1 once the song has
// reached its end (the row playing is its last, or it has stopped; what
// follows is what voices and echoes still sound), else 0.
typedef struct dbmplay_position {
    uint64_t frame;
    int song;
    int order;
    int pattern;
    int row;
    int tick;
    int ended;
} dbmplay_position;

DBMPLAY_API int dbmplay_get_position(const dbmplay_player *player, dbmplay_position *position);

// Mutes (muted non-zero) or unmutes track `track`. A muted track's sound is
// left out of the mix while its voices and echo go on playing, so unmuting
// is seamless. Mutes stay through seeks and song changes. Returns
// DBMPLAY_ERROR_ARGUMENT for a null player or a track out of range.
DBMPLAY_API int dbmplay_mute_track(dbmplay_player *player, int track, int muted);
// 1 when the track is muted, 0 when not, -1 for a null player or a track out of range.
DBMPLAY_API int dbmplay_track_muted(const dbmplay_player *player, int track);

#ifdef __cplusplus
}
#endif

#endif // DBMPLAY_H
