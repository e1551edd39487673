#include "base/host_services.h"
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "host/services.h"
#include "module/loader.h"
#include "plugin/stream.h"
#include "tools/modwriter/modwriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace dbm;

namespace {

const char SONG[] = "stream-song.dbm";

std::vector<uint8_t> songBytes()
{
    return modwriter::write(modwriter::minimalModule());
}

class Stream : public ::testing::Test {
protected:
    void SetUp() override
    {
        useHost(10, 9);
        kvhost::resetHostControls();
        kvhost::addMemoryFile(SONG, songBytes());
        blocks = kvhost::outstandingBlocks();
        tagObjects = kvhost::outstandingTagObjects();
    }
    void TearDown() override
    {
        kvhost::resetHostControls();
        kvhost::removeMemoryFile(SONG);
        EXPECT_EQ(kvhost::outstandingBlocks(), blocks);
        EXPECT_EQ(kvhost::outstandingTagObjects(), tagObjects);
        EXPECT_EQ(kvhost::openFiles(), 0u);
    }

    static void useHost(int32_t interfaceVersion, uint32_t hostVersion)
    {
        pluginGlobals.host = kvhost::serviceRecord(interfaceVersion);
        pluginGlobals.hostVersion = hostVersion;
    }

    // Asks for `frames` frames; returns {written, done}.
    static std::pair<Word, Word> pull(void *stream, uint32_t frames, std::vector<int16_t> &out)
    {
        out.assign(2 * size_t(frames), 0);
        Word request[REQUEST_WORDS] = {reinterpret_cast<Word>(out.data()), frames, 99, 99};
        EXPECT_EQ(StreamSamples(stream, request), 0);
        return {request[REQUEST_WRITTEN], request[REQUEST_DONE]};
    }

    Word format[FORMAT_WORDS] = {};
    size_t blocks = 0, tagObjects = 0;
};

StreamState *state(void *stream)
{
    return static_cast<StreamState *>(stream);
}

} // namespace

// A DBM0 module opens as a four-hour 44100 Hz stereo 16-bit stream at level 16.
TEST_F(Stream, OpensWithItsFormat)
{
    void *stream = OpenStream(SONG, format);
    ASSERT_NE(stream, nullptr);
    EXPECT_EQ(format[FORMAT_LENGTH], 635040000u);
    EXPECT_EQ(format[FORMAT_CHANNELS], 2u);
    EXPECT_EQ(format[FORMAT_BITS], 16u);
    EXPECT_EQ(format[FORMAT_FREQUENCY], 44100u);
    EXPECT_EQ(state(stream)->position, 0u);
    EXPECT_EQ(state(stream)->totalFrames, 635040000u);
    EXPECT_EQ(state(stream)->engine->outputGain, 104032); // 4 tracks at level 16
    EXPECT_STREQ(state(stream)->fileName, SONG);
    CloseStream(stream);
}

// Any byte of the magic differing, letter case included, or fewer than four
// bytes, refuses the file with nothing left behind.
TEST_F(Stream, WrongMagicRefused)
{
    const std::vector<std::string> magics = {"dBM0", "DbM0", "DBm0", "DBM1", "XBM0", "DBMO"};
    for (const std::string &magic : magics) {
        std::vector<uint8_t> bytes = songBytes();
        std::copy(magic.begin(), magic.end(), bytes.begin());
        kvhost::addMemoryFile("bad.dbm", bytes);
        EXPECT_EQ(OpenStream("bad.dbm", format), nullptr) << magic;
    }
    const uint8_t magic[] = {'D', 'B', 'M', '0'};
    for (size_t n = 0; n < 4; ++n) {
        kvhost::addMemoryFile("bad.dbm", std::vector<uint8_t>(magic, magic + n));
        EXPECT_EQ(OpenStream("bad.dbm", format), nullptr) << n << " bytes";
    }
    kvhost::removeMemoryFile("bad.dbm");
    EXPECT_EQ(OpenStream("no-such-file.dbm", format), nullptr);
    EXPECT_EQ(format[FORMAT_LENGTH], 0u);
}

// A DBM0 file the reader rejects is refused; the tag object and record are released.
TEST_F(Stream, RejectedModuleReleasesEverything)
{
    std::vector<uint8_t> bytes = {'D', 'B', 'M', '0', 9, 0, 0, 0};
    kvhost::addMemoryFile("rejected.dbm", bytes);
    Word userTags[] = {0x8000, 5, 0, 0};
    format[FORMAT_USER_TAGS] = reinterpret_cast<Word>(userTags);
    EXPECT_EQ(OpenStream("rejected.dbm", format), nullptr);
    kvhost::removeMemoryFile("rejected.dbm");
}

// 100000 frames come in renders of at most 44100 frames and are all written.
TEST_F(Stream, LargeRequestIsServedInPieces)
{
    void *stream = OpenStream(SONG, format);
    ASSERT_NE(stream, nullptr);
    std::vector<int16_t> out;
    EXPECT_EQ(pull(stream, 100000, out), (std::pair<Word, Word>{100000, 0}));
    EXPECT_EQ(state(stream)->position, 100000u);

    // The same frames rendered directly in pieces of 44100, 44100 and 11800.
    Module *module = loadModule(SONG, nullptr, nullptr, nullptr);
    Engine *engine = createEngine(module, 44100, 44100);
    setOutputLevel(engine, 16);
    std::vector<int16_t> expected(2 * 100000);
    EXPECT_EQ(renderFrames(engine, 44100, expected.data()), 44100u);
    EXPECT_EQ(renderFrames(engine, 44100, expected.data() + 2 * 44100), 44100u);
    EXPECT_EQ(renderFrames(engine, 11800, expected.data() + 2 * 88200), 11800u);
    EXPECT_EQ(out, expected);
    destroyEngine(engine);
    freeModule(module);
    CloseStream(stream);
}

// The song's stop shortens renders but not the stream: the request is filled.
TEST_F(Stream, StreamGoesOnAfterTheSongStops)
{
    void *stream = OpenStream(SONG, format);
    ASSERT_NE(stream, nullptr);
    std::vector<int16_t> out;
    // 65 rows of 6 ticks of 882 frames play before the stop.
    EXPECT_EQ(pull(stream, 400000, out), (std::pair<Word, Word>{400000, 0}));
    EXPECT_EQ(state(stream)->engine->rowDelay > 15, true);
    CloseStream(stream);
}

// Near the announced end only the frames up to it count; then every call is done.
TEST_F(Stream, EndOfStream)
{
    void *stream = OpenStream(SONG, format);
    ASSERT_NE(stream, nullptr);
    state(stream)->position = 635039000;
    std::vector<int16_t> out;
    EXPECT_EQ(pull(stream, 4410, out), (std::pair<Word, Word>{1000, 1}));
    EXPECT_EQ(state(stream)->position, 635040000u);
    EXPECT_EQ(pull(stream, 4410, out), (std::pair<Word, Word>{0, 1}));
    EXPECT_EQ(pull(stream, 0, out), (std::pair<Word, Word>{0, 0}));
    CloseStream(stream);
}

// Seeking does nothing on a fresh stream or to a non-zero position; to 0
// after frames it reads the file again and the output restarts identically.
TEST_F(Stream, SeekRewindsOnlyToTheStart)
{
    void *stream = OpenStream(SONG, format);
    ASSERT_NE(stream, nullptr);
    kvhost::resetHostControls();
    Engine *first = state(stream)->engine;
    SeekStream(stream, 0);
    EXPECT_EQ(state(stream)->engine, first);
    EXPECT_TRUE(kvhost::openCalls().empty());

    std::vector<int16_t> a, b;
    pull(stream, 30000, a);
    SeekStream(stream, 100);
    EXPECT_EQ(state(stream)->position, 30000u);
    EXPECT_TRUE(kvhost::openCalls().empty());
    SeekStream(stream, 0);
    EXPECT_EQ(state(stream)->position, 0u);
    EXPECT_EQ(kvhost::openCalls().size(), 1u);
    pull(stream, 30000, b);
    EXPECT_NE(std::count(a.begin(), a.end(), 0), std::ptrdiff_t(a.size())); // the note sounds
    EXPECT_EQ(a, b);
    CloseStream(stream);
}

// A rewind whose reload fails leaves a silent stream that closes cleanly.
TEST_F(Stream, FailedReloadDeliversNothing)
{
    for (uint64_t k = 1;; ++k) {
        void *stream = OpenStream(SONG, format);
        ASSERT_NE(stream, nullptr);
        std::vector<int16_t> out;
        pull(stream, 1000, out);
        kvhost::failAllocation(k);
        SeekStream(stream, 0);
        kvhost::resetHostControls();
        const bool failed = state(stream)->engine == nullptr;
        if (failed) {
            EXPECT_EQ(pull(stream, 1000, out), (std::pair<Word, Word>{0, 0})) << k;
            SeekStream(stream, 0); // position 0: nothing more happens
        }
        CloseStream(stream);
        EXPECT_EQ(kvhost::outstandingBlocks(), blocks) << k;
        if (!failed)
            break;
    }
}

// Flags gain 3, and 8 on hosts newer than 8; the host's own bits stay.
TEST_F(Stream, FlagsByHostVersion)
{
    for (uint32_t version : {8u, 9u}) {
        useHost(10, version);
        format[FORMAT_FLAGS] = 0x100;
        void *stream = OpenStream(SONG, format);
        ASSERT_NE(stream, nullptr);
        EXPECT_EQ(format[FORMAT_FLAGS], version == 8 ? 0x103u : 0x10Bu);
        CloseStream(stream);
    }
}

// Interface 5 reads neither the adapter nor the user tags; 6 to 9 only the
// adapter; 10 both.
TEST_F(Stream, AdapterAndTagsByInterfaceVersion)
{
    const Word unreadable = 1; // would crash if read
    const char adapter[] = "card0";
    Word userTags[] = {0x8000, 7, 0, 0};
    for (int32_t version : {5, 6, 9, 10}) {
        useHost(version, 9);
        kvhost::resetHostControls();
        format[FORMAT_ADAPTER] = version > 5 ? reinterpret_cast<Word>(adapter) : unreadable;
        format[FORMAT_USER_TAGS] = version > 9 ? reinterpret_cast<Word>(userTags) : unreadable;
        void *stream = OpenStream(SONG, format);
        ASSERT_NE(stream, nullptr) << version;
        const auto calls = kvhost::openCalls();
        ASSERT_FALSE(calls.empty());
        if (version == 5) {
            EXPECT_FALSE(calls[0].withTags);
            EXPECT_EQ(state(stream)->adapterName[0], '\0');
        } else {
            EXPECT_STREQ(state(stream)->adapterName, adapter);
            ASSERT_TRUE(calls[0].withTags);
            EXPECT_EQ(calls[0].tags[0], Word(HOST_TAG_ADAPTER));
        }
        EXPECT_EQ(state(stream)->tagObject != nullptr, version == 10) << version;
        EXPECT_EQ(kvhost::outstandingTagObjects(), tagObjects + (version == 10 ? 1 : 0));
        CloseStream(stream);
    }
}

// File names of 1024 bytes or more and adapter names of 256 or more are refused.
TEST_F(Stream, OverlongNamesRefused)
{
    for (size_t length : {1023, 1024}) {
        const std::string name(length, 'f');
        kvhost::addMemoryFile(name, songBytes());
        void *stream = OpenStream(name.c_str(), format);
        EXPECT_EQ(stream != nullptr, length < 1024) << length;
        CloseStream(stream);
        kvhost::removeMemoryFile(name);
    }
    useHost(6, 9);
    for (size_t length : {255, 256}) {
        const std::string adapter(length, 'a');
        format[FORMAT_ADAPTER] = reinterpret_cast<Word>(adapter.c_str());
        void *stream = OpenStream(SONG, format);
        EXPECT_EQ(stream != nullptr, length < 256) << length;
        CloseStream(stream);
    }
}

// Whichever allocation fails while opening, the result is null and nothing stays.
TEST_F(Stream, EveryAllocationFailureIsCleanedUp)
{
    Word userTags[] = {0x8000, 7, 0, 0};
    format[FORMAT_USER_TAGS] = reinterpret_cast<Word>(userTags);
    const uint64_t start = kvhost::allocationCount();
    void *stream = OpenStream(SONG, format);
    ASSERT_NE(stream, nullptr);
    const uint64_t needed = kvhost::allocationCount() - start;
    CloseStream(stream);
    for (uint64_t k = 1; k <= needed; ++k) {
        kvhost::failAllocation(k);
        EXPECT_EQ(OpenStream(SONG, format), nullptr) << "allocation " << k;
        kvhost::resetHostControls();
        EXPECT_EQ(kvhost::outstandingBlocks(), blocks) << "allocation " << k;
        EXPECT_EQ(kvhost::outstandingTagObjects(), tagObjects) << "allocation " << k;
        EXPECT_EQ(kvhost::openFiles(), 0u) << "allocation " << k;
    }
}
