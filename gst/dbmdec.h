/*
 * dbmdec: plays a DBM0 module with libdbmplay.
 *
 * The sink pad takes the whole file (audio/x-dbm) in push mode and keeps it
 * until upstream's end of stream; then the source pad's task opens it with
 * the library and pushes audio/x-raw, S16 in native byte order, 44100 Hz,
 * 2 channels, interleaved, with a timestamp, duration and frame offsets on
 * every buffer. How long the stream is follows dbm_length.h.
 *
 * Properties (read when the file is opened; changes apply to the next
 * stream): "song", the song to play (an error when the module has no such
 * song), and "repeats", how many more times a looping song plays its loop.
 *
 * Seeking: in time at a positive rate, flushing or not (a seek without
 * flushing follows the data already pushed), with or without a stop, also
 * before the file has arrived; the audio after a seek to T starts at the
 * first frame at or after T and is what the library renders after
 * dbmplay_seek to that frame. A segment seek ends with segment-done. Queries:
 * duration (the song-length scan; once the end of a tail is found, the
 * stream's true length, announced by a duration-changed message), position
 * and seeking. Tags: the module's name as title, the song as track number
 * and the song count as track count.
 *
 * A file that is not a module, does not load, or is larger than
 * DBM_DEC_MAX_FILE_BYTES posts an error message naming the cause.
 *
 * Threads: the file is collected on upstream's streaming thread; the player
 * is used only by the source pad's task and by flushing seeks holding that
 * pad's stream lock; the properties, whether the stream has started, a seek
 * left for the task, the duration and the position are guarded by the
 * object lock.
 */
#ifndef DBMDEC_H
#define DBMDEC_H

#include <gst/gst.h>

G_BEGIN_DECLS

#define DBM_DEC_MAX_FILE_BYTES (256u * 1024u * 1024u)

#define GST_TYPE_DBM_DEC (gst_dbm_dec_get_type())
G_DECLARE_FINAL_TYPE(GstDbmDec, gst_dbm_dec, GST, DBM_DEC, GstElement)

gboolean dbm_dec_register(GstPlugin *plugin);

G_END_DECLS

#endif
