/* The dbmdec element (see dbmdec.h). */
#include "dbmdec.h"

#include "dbm_length.h"
#include "dbm_typefind.h"

#include <dbmplay.h>
#include <gst/audio/audio.h>
#include <gst/base/gstadapter.h>
#include <string.h>

GST_DEBUG_CATEGORY_STATIC(dbm_dec_debug);
#define GST_CAT_DEFAULT dbm_dec_debug

#define FRAME_BYTES 4

enum { PROP_0, PROP_SONG, PROP_REPEATS };

struct _GstDbmDec {
    GstElement parent;
    GstPad *sinkpad, *srcpad;

    /* Upstream's streaming thread (and state changes, with the pads inactive). */
    GstAdapter *file;
    gboolean magic_checked, refused;

    /* The object lock. */
    gint song, repeats;
    gboolean playing;     /* the whole file is here and has not failed to open */
    GstEvent *later_seek; /* a seek without flushing, for the task to carry out */
    GstClockTime duration; /* GST_CLOCK_TIME_NONE until the file is open */
    guint64 position;      /* frames pushed since the song's start */

    /* The source pad's stream lock. */
    dbmplay_player *player;
    DbmLength plan;
    guint64 frame;  /* the frame the player renders next */
    GByteArray *held; /* quiet tail frames rendered but held back */
    GstSegment segment;
    gboolean need_segment, discont;
    guint32 seqnum;
    GstTagList *tags; /* pushed after the first segment */
    int16_t block[2 * DBM_TAIL_BLOCK];
};

G_DEFINE_TYPE(GstDbmDec, gst_dbm_dec, GST_TYPE_ELEMENT)

static GstStaticPadTemplate sink_template = GST_STATIC_PAD_TEMPLATE(
    "sink", GST_PAD_SINK, GST_PAD_ALWAYS, GST_STATIC_CAPS(DBM_MEDIA_TYPE "; audio/x-mod, type=(string)dbm"));

static GstStaticPadTemplate src_template = GST_STATIC_PAD_TEMPLATE(
    "src", GST_PAD_SRC, GST_PAD_ALWAYS,
    GST_STATIC_CAPS("audio/x-raw, format=(string)" GST_AUDIO_NE(S16) ", rate=(int)44100, channels=(int)2, "
                    "layout=(string)interleaved"));

static GstClockTime frame_time(guint64 frame)
{
    return gst_util_uint64_scale_int(frame, GST_SECOND, DBMPLAY_RATE);
}

/* The first frame that starts at or after `time`. */
static guint64 frame_at(GstClockTime time)
{
    return gst_util_uint64_scale_int_ceil(time, DBMPLAY_RATE, GST_SECOND);
}

static guint64 stream_end(const GstDbmDec *self)
{
    return self->plan.song_frames + self->plan.tail_frames;
}

/* Back to the state of a new element. The pads must be inactive. */
static void dbm_dec_reset(GstDbmDec *self)
{
    gst_adapter_clear(self->file);
    self->magic_checked = self->refused = FALSE;
    dbmplay_close(self->player);
    self->player = NULL;
    self->frame = 0;
    g_byte_array_set_size(self->held, 0);
    gst_segment_init(&self->segment, GST_FORMAT_TIME);
    self->need_segment = self->discont = TRUE;
    self->seqnum = gst_util_seqnum_next();
    g_clear_pointer(&self->tags, gst_tag_list_unref);
    GST_OBJECT_LOCK(self);
    self->playing = FALSE;
    gst_event_replace(&self->later_seek, NULL);
    self->duration = GST_CLOCK_TIME_NONE;
    self->position = 0;
    GST_OBJECT_UNLOCK(self);
}

/* Moves the player to `frame`; at the stream's end when that is past it. */
static void dbm_dec_seek_player(GstDbmDec *self, guint64 frame)
{
    self->frame = MIN(frame, stream_end(self));
    g_byte_array_set_size(self->held, 0);
    if (self->frame == stream_end(self))
        return;
    const int result = dbmplay_seek(self->player, self->frame);
    if (result == DBMPLAY_ERROR_ARGUMENT)
        self->frame = stream_end(self);
    else if (result != DBMPLAY_OK)
        GST_ELEMENT_WARNING(self, STREAM, DECODE, ("%s", dbmplay_error_text(result)),
                            ("a voice or echo is missing after the seek"));
}

static GstTagList *module_tags(dbmplay_player *player, int song)
{
    GstTagList *tags = gst_tag_list_new(GST_TAG_AUDIO_CODEC, "DBM0 module", GST_TAG_TRACK_NUMBER,
                                        (guint)song + 1, GST_TAG_TRACK_COUNT,
                                        (guint)dbmplay_song_count(player), NULL);
    const char *name = dbmplay_module_name(player);
    if (name[0] && g_utf8_validate(name, -1, NULL))
        gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, name, NULL);
    else if (name[0]) {
        gchar *text = g_convert(name, -1, "UTF-8", "ISO-8859-1", NULL, NULL, NULL);
        if (text)
            gst_tag_list_add(tags, GST_TAG_MERGE_REPLACE, GST_TAG_TITLE, text, NULL);
        g_free(text);
    }
    gst_tag_list_set_scope(tags, GST_TAG_SCOPE_GLOBAL);
    return tags;
}

/* Opens the collected file with the library and starts the stream's song;
 * posts an error message and returns FALSE when that fails. */
static gboolean dbm_dec_open(GstDbmDec *self)
{
    static const guint8 empty = 0;
    const gsize size = gst_adapter_available(self->file);
    const void *data = size ? gst_adapter_map(self->file, size) : &empty;
    int error = DBMPLAY_OK;
    dbmplay_player *player = dbmplay_open_memory(data, size, NULL, &error);
    if (size)
        gst_adapter_unmap(self->file);
    gst_adapter_clear(self->file);
    if (!player) {
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("%s", dbmplay_error_text(error)),
                          ("the module did not load (error %d)", error));
        return FALSE;
    }
    GST_OBJECT_LOCK(self);
    const int song = self->song, repeats = self->repeats;
    GST_OBJECT_UNLOCK(self);
    const int songs = dbmplay_song_count(player);
    if (song >= songs) {
        GST_ELEMENT_ERROR(self, STREAM, FAILED, ("The module has no song %d: its songs are 0 to %d.", song, songs - 1),
                          (NULL));
        dbmplay_close(player);
        return FALSE;
    }
    dbmplay_song_length length;
    int result = dbmplay_select_song(player, song);
    if (result == DBMPLAY_OK)
        result = dbmplay_get_song_length(player, song, &length);
    if (result != DBMPLAY_OK) {
        GST_ELEMENT_ERROR(self, RESOURCE, NO_SPACE_LEFT, ("%s", dbmplay_error_text(result)),
                          ("song %d could not be started", song));
        dbmplay_close(player);
        return FALSE;
    }
    self->player = player;
    self->plan = dbm_length_plan(&length, repeats);
    self->tags = module_tags(player, song);
    dbm_dec_seek_player(self, self->frame);
    GST_OBJECT_LOCK(self);
    self->duration = frame_time(self->plan.song_frames);
    self->position = self->frame;
    GST_OBJECT_UNLOCK(self);

    gchar *stream_id = gst_pad_create_stream_id(self->srcpad, GST_ELEMENT(self), NULL);
    GstEvent *start = gst_event_new_stream_start(stream_id);
    g_free(stream_id);
    guint group = 0;
    GstEvent *upstream = gst_pad_get_sticky_event(self->sinkpad, GST_EVENT_STREAM_START, 0);
    if (!upstream || !gst_event_parse_group_id(upstream, &group))
        group = gst_util_group_id_next();
    if (upstream)
        gst_event_unref(upstream);
    gst_event_set_group_id(start, group);
    gst_pad_push_event(self->srcpad, start);

    GstAudioInfo info;
    gst_audio_info_set_format(&info, GST_AUDIO_FORMAT_S16, DBMPLAY_RATE, DBMPLAY_CHANNELS, NULL);
    GstCaps *caps = gst_audio_info_to_caps(&info);
    gst_pad_push_event(self->srcpad, gst_event_new_caps(caps));
    gst_caps_unref(caps);
    return TRUE;
}

static guint64 held_frames(const GstDbmDec *self)
{
    return self->held->len / FRAME_BYTES;
}

/* Pushes the held frames followed by `count` frames of `samples` as one
 * buffer that starts at frame `first`; nothing is held afterwards. */
static GstFlowReturn dbm_dec_push(GstDbmDec *self, guint64 first, const int16_t *samples, guint64 count)
{
    const guint64 held = held_frames(self), frames = held + count;
    GstBuffer *buffer = gst_buffer_new_allocate(NULL, frames * FRAME_BYTES, NULL);
    if (!buffer)
        return GST_FLOW_ERROR;
    if (held)
        gst_buffer_fill(buffer, 0, self->held->data, self->held->len);
    if (count)
        gst_buffer_fill(buffer, held * FRAME_BYTES, samples, count * FRAME_BYTES);
    g_byte_array_set_size(self->held, 0);
    GST_BUFFER_OFFSET(buffer) = first;
    GST_BUFFER_OFFSET_END(buffer) = first + frames;
    GST_BUFFER_PTS(buffer) = frame_time(first);
    GST_BUFFER_DURATION(buffer) = frame_time(first + frames) - frame_time(first);
    if (self->discont) {
        GST_BUFFER_FLAG_SET(buffer, GST_BUFFER_FLAG_DISCONT);
        self->discont = FALSE;
    }
    self->segment.position = frame_time(first + frames);
    GST_OBJECT_LOCK(self);
    self->position = first + frames;
    GST_OBJECT_UNLOCK(self);
    return gst_pad_push(self->srcpad, buffer);
}

/* The tail's true end is known: the duration becomes the stream's length. */
static void dbm_dec_found_end(GstDbmDec *self, guint64 end)
{
    GST_OBJECT_LOCK(self);
    const gboolean changed = self->duration != frame_time(end);
    self->duration = frame_time(end);
    GST_OBJECT_UNLOCK(self);
    if (changed)
        gst_element_post_message(GST_ELEMENT(self), gst_message_new_duration_changed(GST_OBJECT(self)));
}

/* One block (at most DBM_TAIL_BLOCK frames) of the song itself, up to frame
 * `stop`, faded where it is cut off. */
static GstFlowReturn dbm_dec_push_song(GstDbmDec *self, guint64 stop)
{
    const guint64 first = self->frame, count = MIN(DBM_TAIL_BLOCK, stop - first);
    dbmplay_render(self->player, self->block, count);
    dbm_length_fade(&self->plan, self->block, first, count);
    self->frame += count;
    return dbm_dec_push(self, first, self->block, count);
}

/* One block of the echo tail, up to frame `stop`: quiet frames are held back
 * until a louder one follows, and a quiet run of DBM_QUIET_FRAMES ends the
 * stream where it began (dbm_length.h). */
static GstFlowReturn dbm_dec_push_tail(GstDbmDec *self, guint64 stop)
{
    const guint64 into = self->frame - self->plan.song_frames;
    const guint64 count = MIN(DBM_TAIL_BLOCK - into % DBM_TAIL_BLOCK, stop - self->frame);
    dbmplay_render(self->player, self->block, count);
    const guint64 start = self->frame, held = held_frames(self);
    self->frame += count;
    guint64 quiet_from = 0; /* the frame after the block's last loud one */
    for (guint64 f = 0; f < count; ++f) {
        if (dbm_length_loud(&self->block[2 * f])) {
            quiet_from = f + 1;
        } else if ((quiet_from ? 0 : held) + f + 1 - quiet_from >= DBM_QUIET_FRAMES) {
            GstFlowReturn flow = GST_FLOW_OK;
            if (quiet_from)
                flow = dbm_dec_push(self, start - held, self->block, quiet_from);
            g_byte_array_set_size(self->held, 0);
            if (flow != GST_FLOW_OK)
                return flow;
            dbm_dec_found_end(self, start + quiet_from - (quiet_from ? 0 : held));
            return GST_FLOW_EOS;
        }
    }
    if (quiet_from) {
        const GstFlowReturn flow = dbm_dec_push(self, start - held, self->block, quiet_from);
        if (flow != GST_FLOW_OK)
            return flow;
    }
    g_byte_array_append(self->held, (const guint8 *)&self->block[2 * quiet_from],
                        (guint)((count - quiet_from) * FRAME_BYTES));
    if (self->frame < stop)
        return GST_FLOW_OK;
    if (stop == stream_end(self))
        dbm_dec_found_end(self, stop);
    return held_frames(self) ? dbm_dec_push(self, stop - held_frames(self), NULL, 0) : GST_FLOW_OK;
}

/* The next block of the stream; GST_FLOW_EOS once it has ended. */
static GstFlowReturn dbm_dec_push_block(GstDbmDec *self)
{
    guint64 stop = stream_end(self);
    if (GST_CLOCK_TIME_IS_VALID(self->segment.stop))
        stop = MIN(stop, frame_at(self->segment.stop));
    if (self->frame >= stop)
        return GST_FLOW_EOS;
    if (self->frame < self->plan.song_frames)
        return dbm_dec_push_song(self, MIN(stop, self->plan.song_frames));
    return dbm_dec_push_tail(self, stop);
}

/* The stream has ended: end of stream, or segment-done after a segment seek. */
static void dbm_dec_finish(GstDbmDec *self)
{
    GstEvent *event;
    if (self->segment.flags & GST_SEGMENT_FLAG_SEGMENT) {
        const gint64 stop =
            GST_CLOCK_TIME_IS_VALID(self->segment.stop) ? (gint64)self->segment.stop : (gint64)frame_time(self->frame);
        GstMessage *message = gst_message_new_segment_done(GST_OBJECT(self), GST_FORMAT_TIME, stop);
        gst_message_set_seqnum(message, self->seqnum);
        gst_element_post_message(GST_ELEMENT(self), message);
        event = gst_event_new_segment_done(GST_FORMAT_TIME, stop);
    } else {
        event = gst_event_new_eos();
    }
    gst_event_set_seqnum(event, self->seqnum);
    gst_pad_push_event(self->srcpad, event);
}

/* Carries out a seek that dbm_dec_seek accepted; the caller holds the
 * source pad's stream lock. */
static void dbm_dec_apply_seek(GstDbmDec *self, GstEvent *event)
{
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    GstSeekType start_type, stop_type;
    gint64 start, stop;
    gst_event_parse_seek(event, &rate, &format, &flags, &start_type, &start, &stop_type, &stop);
    gst_segment_do_seek(&self->segment, rate, format, flags, start_type, start, stop_type, stop, NULL);
    const guint64 frame = frame_at(self->segment.position);
    if (self->player)
        dbm_dec_seek_player(self, frame);
    else
        self->frame = frame;
    GST_OBJECT_LOCK(self);
    self->position = self->frame;
    GST_OBJECT_UNLOCK(self);
    self->need_segment = self->discont = TRUE;
    self->seqnum = gst_event_get_seqnum(event);
}

/* Takes the seek left for the task, if there is one. */
static GstEvent *dbm_dec_take_later_seek(GstDbmDec *self)
{
    GST_OBJECT_LOCK(self);
    GstEvent *seek = self->later_seek;
    self->later_seek = NULL;
    GST_OBJECT_UNLOCK(self);
    return seek;
}

static void dbm_dec_loop(gpointer user_data)
{
    GstDbmDec *self = GST_DBM_DEC(user_data);
    if (!self->player && !dbm_dec_open(self)) {
        GST_OBJECT_LOCK(self);
        self->playing = FALSE;
        GST_OBJECT_UNLOCK(self);
        gst_pad_pause_task(self->srcpad);
        return;
    }
    GstEvent *seek = dbm_dec_take_later_seek(self);
    if (seek) {
        dbm_dec_apply_seek(self, seek);
        gst_event_unref(seek);
    }
    if (self->need_segment) {
        GstEvent *segment = gst_event_new_segment(&self->segment);
        gst_event_set_seqnum(segment, self->seqnum);
        gst_pad_push_event(self->srcpad, segment);
        self->need_segment = FALSE;
        if (self->tags)
            gst_pad_push_event(self->srcpad, gst_event_new_tag(self->tags));
        self->tags = NULL;
    }
    const GstFlowReturn flow = dbm_dec_push_block(self);
    if (flow == GST_FLOW_OK)
        return;
    GST_DEBUG_OBJECT(self, "pausing: %s", gst_flow_get_name(flow));
    gst_pad_pause_task(self->srcpad);
    if (flow == GST_FLOW_EOS) {
        dbm_dec_finish(self);
    } else if (flow == GST_FLOW_NOT_LINKED || flow < GST_FLOW_EOS) {
        GST_ELEMENT_FLOW_ERROR(self, flow);
        gst_pad_push_event(self->srcpad, gst_event_new_eos());
    }
    /* A seek that came while the task was pausing still runs. */
    GST_OBJECT_LOCK(self);
    const gboolean again = self->later_seek != NULL;
    GST_OBJECT_UNLOCK(self);
    if (again)
        gst_pad_start_task(self->srcpad, dbm_dec_loop, self, NULL);
}

/* Seeks in time at a positive rate. A flushing seek is carried out at once;
 * one without flushing is left to the task, after the data already pushed,
 * so that it never waits for downstream. */
static gboolean dbm_dec_seek(GstDbmDec *self, GstEvent *event)
{
    gdouble rate;
    GstFormat format;
    GstSeekFlags flags;
    gst_event_parse_seek(event, &rate, &format, &flags, NULL, NULL, NULL, NULL);
    if (format != GST_FORMAT_TIME || rate <= 0.0)
        return FALSE;
    const guint32 seqnum = gst_event_get_seqnum(event);
    gboolean playing;
    if (!(flags & GST_SEEK_FLAG_FLUSH)) {
        GST_OBJECT_LOCK(self);
        gst_event_replace(&self->later_seek, event);
        playing = self->playing;
        GST_OBJECT_UNLOCK(self);
        return !playing || gst_pad_start_task(self->srcpad, dbm_dec_loop, self, NULL);
    }
    GstEvent *flush_start = gst_event_new_flush_start();
    gst_event_set_seqnum(flush_start, seqnum);
    gst_pad_push_event(self->srcpad, flush_start);
    GST_PAD_STREAM_LOCK(self->srcpad);
    dbm_dec_apply_seek(self, event);
    GstEvent *flush_stop = gst_event_new_flush_stop(TRUE);
    gst_event_set_seqnum(flush_stop, seqnum);
    gst_pad_push_event(self->srcpad, flush_stop);
    GST_OBJECT_LOCK(self);
    gst_event_replace(&self->later_seek, NULL);
    playing = self->playing;
    GST_OBJECT_UNLOCK(self);
    if (playing)
        gst_pad_start_task(self->srcpad, dbm_dec_loop, self, NULL);
    GST_PAD_STREAM_UNLOCK(self->srcpad);
    return TRUE;
}

static GstFlowReturn dbm_dec_chain(GstPad *pad, GstObject *parent, GstBuffer *buffer)
{
    (void)pad;
    GstDbmDec *self = GST_DBM_DEC(parent);
    gst_adapter_push(self->file, buffer);
    const gsize size = gst_adapter_available(self->file);
    if (size > DBM_DEC_MAX_FILE_BYTES) {
        self->refused = TRUE;
        GST_ELEMENT_ERROR(self, STREAM, DECODE, ("The file is larger than %u MiB, more than any module holds.",
                                                 DBM_DEC_MAX_FILE_BYTES >> 20),
                          (NULL));
        return GST_FLOW_ERROR;
    }
    if (!self->magic_checked && size >= 4) {
        guint8 magic[4];
        gst_adapter_copy(self->file, magic, 0, sizeof magic);
        if (memcmp(magic, "DBM0", sizeof magic) != 0) {
            self->refused = TRUE;
            GST_ELEMENT_ERROR(self, STREAM, WRONG_TYPE, ("%s", dbmplay_error_text(DBMPLAY_ERROR_DATA)),
                              ("the file does not begin with DBM0"));
            return GST_FLOW_ERROR;
        }
        self->magic_checked = TRUE;
    }
    return GST_FLOW_OK;
}

/* Upstream's events are consumed: the element makes its own stream. Its end
 * of stream means the whole file is here, and playing starts (unless the
 * file was refused already). */
static gboolean dbm_dec_sink_event(GstPad *pad, GstObject *parent, GstEvent *event)
{
    (void)pad;
    GstDbmDec *self = GST_DBM_DEC(parent);
    if (GST_EVENT_TYPE(event) == GST_EVENT_EOS && !self->refused) {
        GST_OBJECT_LOCK(self);
        self->playing = TRUE;
        GST_OBJECT_UNLOCK(self);
        gst_pad_start_task(self->srcpad, dbm_dec_loop, self, NULL);
    }
    gst_event_unref(event);
    return TRUE;
}

static gboolean dbm_dec_src_event(GstPad *pad, GstObject *parent, GstEvent *event)
{
    if (GST_EVENT_TYPE(event) != GST_EVENT_SEEK)
        return gst_pad_event_default(pad, parent, event);
    const gboolean done = dbm_dec_seek(GST_DBM_DEC(parent), event);
    gst_event_unref(event);
    return done;
}

static gboolean dbm_dec_src_query(GstPad *pad, GstObject *parent, GstQuery *query)
{
    GstDbmDec *self = GST_DBM_DEC(parent);
    GstFormat format;
    switch (GST_QUERY_TYPE(query)) {
    case GST_QUERY_DURATION: {
        gst_query_parse_duration(query, &format, NULL);
        GST_OBJECT_LOCK(self);
        const GstClockTime duration = self->duration;
        GST_OBJECT_UNLOCK(self);
        if (format != GST_FORMAT_TIME || !GST_CLOCK_TIME_IS_VALID(duration))
            return FALSE;
        gst_query_set_duration(query, GST_FORMAT_TIME, (gint64)duration);
        return TRUE;
    }
    case GST_QUERY_POSITION: {
        gst_query_parse_position(query, &format, NULL);
        if (format != GST_FORMAT_TIME)
            return FALSE;
        GST_OBJECT_LOCK(self);
        const guint64 position = self->position;
        GST_OBJECT_UNLOCK(self);
        gst_query_set_position(query, GST_FORMAT_TIME, (gint64)frame_time(position));
        return TRUE;
    }
    case GST_QUERY_SEEKING: {
        gst_query_parse_seeking(query, &format, NULL, NULL, NULL);
        if (format != GST_FORMAT_TIME)
            return FALSE;
        GST_OBJECT_LOCK(self);
        const GstClockTime duration = self->duration;
        GST_OBJECT_UNLOCK(self);
        gst_query_set_seeking(query, GST_FORMAT_TIME, TRUE, 0,
                              GST_CLOCK_TIME_IS_VALID(duration) ? (gint64)duration : -1);
        return TRUE;
    }
    default:
        return gst_pad_query_default(pad, parent, query);
    }
}

static gboolean dbm_dec_src_activate_mode(GstPad *pad, GstObject *parent, GstPadMode mode, gboolean active)
{
    (void)parent;
    if (mode != GST_PAD_MODE_PUSH)
        return FALSE;
    return active || gst_pad_stop_task(pad);
}

static GstStateChangeReturn dbm_dec_change_state(GstElement *element, GstStateChange transition)
{
    GstDbmDec *self = GST_DBM_DEC(element);
    if (transition == GST_STATE_CHANGE_READY_TO_PAUSED)
        dbm_dec_reset(self);
    const GstStateChangeReturn result = GST_ELEMENT_CLASS(gst_dbm_dec_parent_class)->change_state(element, transition);
    if (transition == GST_STATE_CHANGE_PAUSED_TO_READY)
        dbm_dec_reset(self);
    return result;
}

static void dbm_dec_set_property(GObject *object, guint id, const GValue *value, GParamSpec *pspec)
{
    GstDbmDec *self = GST_DBM_DEC(object);
    GST_OBJECT_LOCK(self);
    if (id == PROP_SONG)
        self->song = g_value_get_int(value);
    else if (id == PROP_REPEATS)
        self->repeats = g_value_get_int(value);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    GST_OBJECT_UNLOCK(self);
}

static void dbm_dec_get_property(GObject *object, guint id, GValue *value, GParamSpec *pspec)
{
    GstDbmDec *self = GST_DBM_DEC(object);
    GST_OBJECT_LOCK(self);
    if (id == PROP_SONG)
        g_value_set_int(value, self->song);
    else if (id == PROP_REPEATS)
        g_value_set_int(value, self->repeats);
    else
        G_OBJECT_WARN_INVALID_PROPERTY_ID(object, id, pspec);
    GST_OBJECT_UNLOCK(self);
}

static void dbm_dec_finalize(GObject *object)
{
    GstDbmDec *self = GST_DBM_DEC(object);
    dbm_dec_reset(self);
    g_object_unref(self->file);
    g_byte_array_unref(self->held);
    G_OBJECT_CLASS(gst_dbm_dec_parent_class)->finalize(object);
}

static void gst_dbm_dec_class_init(GstDbmDecClass *klass)
{
    GObjectClass *object_class = G_OBJECT_CLASS(klass);
    GstElementClass *element_class = GST_ELEMENT_CLASS(klass);
    object_class->set_property = dbm_dec_set_property;
    object_class->get_property = dbm_dec_get_property;
    object_class->finalize = dbm_dec_finalize;
    const GParamFlags flags = G_PARAM_READWRITE | G_PARAM_STATIC_STRINGS | GST_PARAM_MUTABLE_READY;
    g_object_class_install_property(
        object_class, PROP_SONG,
        g_param_spec_int("song", "Song", "The module's song to play, counted from 0", 0, G_MAXINT, 0, flags));
    g_object_class_install_property(
        object_class, PROP_REPEATS,
        g_param_spec_int("repeats", "Repeats",
                         "How many more times a song that loops plays its loop before it ends (faded out)", 0,
                         G_MAXINT, 0, flags));
    element_class->change_state = dbm_dec_change_state;
    gst_element_class_add_static_pad_template(element_class, &sink_template);
    gst_element_class_add_static_pad_template(element_class, &src_template);
    gst_element_class_set_static_metadata(
        element_class, "DBM0 module player", "Codec/Decoder/Audio",
        "Plays DBM0 (DigiBooster) music modules as 44100 Hz stereo 16-bit audio, with seeking, song "
        "selection and the song's length",
        "The digibooster.kvp developers");
    GST_DEBUG_CATEGORY_INIT(dbm_dec_debug, "dbmdec", 0, "DBM0 module player");
}

static void gst_dbm_dec_init(GstDbmDec *self)
{
    self->sinkpad = gst_pad_new_from_static_template(&sink_template, "sink");
    gst_pad_set_chain_function(self->sinkpad, dbm_dec_chain);
    gst_pad_set_event_function(self->sinkpad, dbm_dec_sink_event);
    gst_element_add_pad(GST_ELEMENT(self), self->sinkpad);

    self->srcpad = gst_pad_new_from_static_template(&src_template, "src");
    gst_pad_set_event_function(self->srcpad, dbm_dec_src_event);
    gst_pad_set_query_function(self->srcpad, dbm_dec_src_query);
    gst_pad_set_activatemode_function(self->srcpad, dbm_dec_src_activate_mode);
    gst_pad_use_fixed_caps(self->srcpad);
    gst_element_add_pad(GST_ELEMENT(self), self->srcpad);

    self->file = gst_adapter_new();
    self->held = g_byte_array_new();
    dbm_dec_reset(self);
}

gboolean dbm_dec_register(GstPlugin *plugin)
{
    return gst_element_register(plugin, "dbmdec", GST_RANK_PRIMARY, GST_TYPE_DBM_DEC);
}
