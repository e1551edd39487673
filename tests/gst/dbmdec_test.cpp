// The dbmdec element in a pipeline (filesrc ! dbmdec ! appsink), compared
// with the library's own output for the same module, song and seek.
#include "tests/lib/library_support.h"

#include <gst/app/gstappsink.h>
#include <gst/gst.h>
#include <gtest/gtest.h>

namespace {

using libtest::Pcm;

struct Played {
    Pcm pcm;
    uint64_t first = 0;       // the frame offset of the first buffer
    bool timestamps = true;   // every buffer's time, duration and offsets match its frames
    GstClockTime duration = GST_CLOCK_TIME_NONE;
    std::string error, title; // the error message's text, the title tag
};

GstClockTime frameTime(uint64_t frame)
{
    return gst_util_uint64_scale_int(frame, GST_SECOND, DBMPLAY_RATE);
}

// The bus's messages; when the pipeline failed, its error may still be on the way.
void collectMessages(GstBus *bus, bool failed, Played &run)
{
    if (GstMessage *error = failed ? gst_bus_timed_pop_filtered(bus, 10 * GST_SECOND, GST_MESSAGE_ERROR) : nullptr)
        gst_bus_post(bus, error);
    while (GstMessage *message = gst_bus_pop(bus)) {
        GError *error = nullptr;
        GstTagList *tags = nullptr;
        gchar *title = nullptr;
        if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_ERROR && run.error.empty()) {
            gst_message_parse_error(message, &error, nullptr);
            run.error = error->message;
        } else if (GST_MESSAGE_TYPE(message) == GST_MESSAGE_TAG) {
            gst_message_parse_tag(message, &tags);
            if (gst_tag_list_get_string(tags, GST_TAG_TITLE, &title))
                run.title = title;
        }
        g_clear_error(&error);
        g_free(title);
        if (tags)
            gst_tag_list_unref(tags);
        gst_message_unref(message);
    }
}

// Plays `path` with the element's `properties`, after a seek to `seek` (up
// to `stop`) with `flags` when it is valid, to the end or an error. Only the
// buffers from the last discontinuity on are kept.
Played play(const std::string &path, const std::string &properties, GstClockTime seek = GST_CLOCK_TIME_NONE,
            GstSeekFlags flags = GST_SEEK_FLAG_FLUSH, GstClockTime stop = GST_CLOCK_TIME_NONE)
{
    const std::string description =
        "filesrc location=" + path + " ! dbmdec " + properties + " ! appsink name=sink sync=false";
    GError *error = nullptr;
    GstElement *pipeline = gst_parse_launch(description.c_str(), &error);
    if (error)
        throw std::runtime_error(description + ": " + error->message);
    GstElement *sink = gst_bin_get_by_name(GST_BIN(pipeline), "sink");
    Played run;
    gst_element_set_state(pipeline, GST_STATE_PAUSED);
    bool ok = gst_element_get_state(pipeline, nullptr, nullptr, 10 * GST_SECOND) == GST_STATE_CHANGE_SUCCESS;
    gint64 duration = -1;
    if (ok && gst_element_query_duration(pipeline, GST_FORMAT_TIME, &duration))
        run.duration = GstClockTime(duration);
    if (ok && GST_CLOCK_TIME_IS_VALID(seek))
        ok = gst_element_seek(pipeline, 1.0, GST_FORMAT_TIME, flags, GST_SEEK_TYPE_SET, gint64(seek),
                              GST_CLOCK_TIME_IS_VALID(stop) ? GST_SEEK_TYPE_SET : GST_SEEK_TYPE_NONE, gint64(stop));
    if (ok)
        gst_element_set_state(pipeline, GST_STATE_PLAYING);
    uint64_t next = 0;
    while (GstSample *sample = ok ? gst_app_sink_try_pull_sample(GST_APP_SINK(sink), 10 * GST_SECOND) : nullptr) {
        GstBuffer *buffer = gst_sample_get_buffer(sample);
        const uint64_t first = GST_BUFFER_OFFSET(buffer), end = GST_BUFFER_OFFSET_END(buffer);
        if (GST_BUFFER_IS_DISCONT(buffer))
            run.pcm.clear();
        run.first = run.pcm.empty() ? first : run.first;
        next = run.pcm.empty() ? first : next;
        run.timestamps = run.timestamps && first == next && GST_BUFFER_PTS(buffer) == frameTime(first) &&
                         GST_BUFFER_DURATION(buffer) == frameTime(end) - frameTime(first) &&
                         gst_buffer_get_size(buffer) == 4 * (end - first);
        next = end;
        run.pcm.resize(2 * (end - run.first));
        gst_buffer_extract(buffer, 0, &run.pcm[2 * (first - run.first)], 4 * (end - first));
        gst_sample_unref(sample);
    }
    GstBus *bus = gst_element_get_bus(pipeline);
    collectMessages(bus, !ok, run);
    gst_object_unref(bus);
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(sink);
    gst_object_unref(pipeline);
    return run;
}

// `frames` frames of `song` after dbmplay_seek to `from`.
Pcm library(const std::string &path, int song, uint64_t from, size_t frames)
{
    dbmplay_player *player = dbmplay_open_file(path.c_str(), nullptr, nullptr);
    dbmplay_select_song(player, song);
    dbmplay_seek(player, from);
    Pcm pcm = libtest::libraryRender(player, uint32_t(frames), 4096);
    dbmplay_close(player);
    return pcm;
}

dbmplay_song_length songLength(const std::string &path, int song)
{
    dbmplay_song_length length{};
    dbmplay_player *player = dbmplay_open_file(path.c_str(), nullptr, nullptr);
    dbmplay_get_song_length(player, song, &length);
    dbmplay_close(player);
    return length;
}

class Dbmdec : public testing::Test {
protected:
    static void SetUpTestSuite() { gst_init(nullptr, nullptr); }
    static void TearDownTestSuite() { gst_deinit(); }
    const std::vector<uint8_t> bytes = modwriter::write(libtest::songsModule());
    const std::string path = libtest::writeFile("dbmdec-songs.dbm", bytes) ? "dbmdec-songs.dbm" : "";
};

TEST_F(Dbmdec, SeeksGiveTheLibrarysFramesAfterTheSameSeek)
{
    const uint64_t songEnd = songLength(path, 0).frames;
    const Played whole = play(path, "");
    struct Case {
        const char *rule;
        GstClockTime time;
        uint64_t frame; // the first frame played
        GstSeekFlags flags = GST_SEEK_FLAG_FLUSH;
        uint64_t stop = 0; // the stream's end when not 0
    } cases[] = {
        {"a seek to 0 plays from the start", 0, 0},
        {"inside a tick (882 frames at tempo 125)", frameTime(7 * 882 + 300), 7 * 882 + 300},
        {"a time between two frames starts at the later one", frameTime(30001) + 1, 30002},
        {"into the second order position", frameTime(16 * libtest::ROW + 5), 16 * libtest::ROW + 5},
        {"into the echo tail after the song's end", frameTime(songEnd + 1234), songEnd + 1234},
        {"a seek without flushing follows what was pushed; a stop ends the stream", frameTime(40000), 40000,
         GST_SEEK_FLAG_NONE, 90001},
    };
    ASSERT_TRUE(whole.error.empty()) << whole.error;
    for (const Case &c : cases) {
        const Played run =
            play(path, "", c.time, c.flags, c.stop ? frameTime(c.stop) : GST_CLOCK_TIME_NONE);
        EXPECT_EQ(run.first, c.frame) << c.rule;
        EXPECT_TRUE(run.timestamps) << c.rule;
        EXPECT_EQ(run.first + run.pcm.size() / 2, c.stop ? c.stop : whole.pcm.size() / 2) << c.rule << ": the end";
        EXPECT_EQ(run.pcm, library(path, 0, c.frame, run.pcm.size() / 2)) << c.rule;
    }
}

TEST_F(Dbmdec, SongsRepeatsTagsAndDuration)
{
    const Played second = play(path, "song=2");
    EXPECT_EQ(second.duration, frameTime(songLength(path, 2).frames));
    EXPECT_GT(second.pcm.size(), 2 * songLength(path, 2).frames);
    EXPECT_EQ(second.pcm, library(path, 2, 0, second.pcm.size() / 2));
    EXPECT_EQ(second.title, libtest::songsModule().name);

    // A looping song plays its first pass and two more passes of its loop,
    // faded out at the end (at most two seconds, at most a quarter).
    const dbmplay_song_length loop = songLength(path, 3);
    ASSERT_EQ(loop.ending, DBMPLAY_SONG_LOOPS);
    const uint64_t frames = loop.frames + 2 * (loop.frames - loop.loop_start);
    const uint64_t unfaded = frames - std::min<uint64_t>(2 * DBMPLAY_RATE, frames / 4);
    const Played looped = play(path, "song=3 repeats=2");
    EXPECT_EQ(looped.duration, frameTime(frames));
    ASSERT_EQ(looped.pcm.size(), 2 * frames);
    EXPECT_EQ(libtest::slice(looped.pcm, 0, uint32_t(unfaded)), library(path, 3, 0, unfaded));

    EXPECT_EQ(play(path, "song=4").error, "The module has no song 4: its songs are 0 to 3.");
    // A damaged file posts the library's message for it.
    const std::vector<uint8_t> damaged(bytes.begin(), bytes.begin() + bytes.size() / 3);
    int code = DBMPLAY_OK;
    dbmplay_close(dbmplay_open_memory(damaged.data(), damaged.size(), nullptr, &code));
    libtest::writeFile("dbmdec-damaged.dbm", damaged);
    EXPECT_EQ(play("dbmdec-damaged.dbm", "").error, code ? dbmplay_error_text(code) : "");
}

} // namespace
