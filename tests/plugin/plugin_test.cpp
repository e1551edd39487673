// The plug-in's front door as the host meets it, rule by rule: the built
// digibooster.kvp loaded with dlopen, found by its header, its operations
// looked up by name and InitPlugin called; the plug-in's side of the host
// services and the stream operations, through the core linked into this
// test. Record words are numbered here as the host numbers them, not with
// the plug-in's constants: format 0 length, 1 channels, 2 bits, 3 frequency,
// 4 flags, 7 adapter name, 8 user tags.
#include "engine/lifecycle.h"
#include "engine/render.h"
#include "host/plugin_loader.h"
#include "plugin/entry.h"
#include "tests/support/load.h"
#include "tests/support/stream.h"

#include <algorithm>
#include <cstring>

namespace {

using dbm::Word;

std::string text(Word word) { return word ? reinterpret_cast<const char *>(word) : "(null)"; }

class PluginEntry : public testsupport::HostTest {
protected:
    void SetUp() override { ASSERT_TRUE(plugin.load(DBM_PLUGIN_PATH)) << plugin.message(); }

    // InitPlugin on an info record that is garbage but for the host's version
    // and revision in words 3 and 4.
    int32_t init(Word version, Word revision, Word *services = kvhost::serviceRecord(10))
    {
        std::fill(std::begin(info), std::end(info), 0xA5A5A5A5u);
        info[3] = version;
        info[4] = revision;
        return plugin.operation<dbm::InitPluginFn>("InitPlugin")(info, services);
    }

    kvhost::PluginHost plugin;
    Word info[16];
};

TEST_F(PluginEntry, OperationsAreFoundByTheirExactNameOnly)
{
    for (const char *name : {"InitPlugin", "ClosePlugin", "OpenStream", "CloseStream", "SeekStream", "StreamSamples", "GetFormatName"})
        EXPECT_NE(plugin.lookup(name), nullptr) << name;
    EXPECT_NE(plugin.lookup("InitPlugin"), plugin.lookup("GetFormatName"));
    for (const char *name : {"initplugin", "InitPlugin ", "Init", "", "GetFormatNameX", static_cast<const char *>(nullptr)})
        EXPECT_EQ(plugin.header()->lookup(name), nullptr) << (name ? name : "null");
    EXPECT_STREQ(plugin.operation<dbm::GetFormatNameFn>("GetFormatName")(), "DigiBooster");
}

// Words 0..13 get the plug-in's description, 14 and on are left alone.
TEST_F(PluginEntry, InitPluginFillsTheInfoRecord)
{
    ASSERT_EQ(init(6, 0), 1);
    const Word numbers[] = {16, 1, 2, 5, 0};
    for (int word = 0; word < 5; ++word)
        EXPECT_EQ(info[word], numbers[word]) << "word " << word;
    EXPECT_EQ(text(info[5]), "DigiBooster");
    EXPECT_EQ(text(info[6]), "digibooster");
    EXPECT_EQ(text(info[8]), "Enables Kestrova to play DigiBooster modules");
    EXPECT_EQ(text(info[11]), "08.05.26");
    for (int word : {7, 9, 10})
        EXPECT_GT(text(info[word]).size(), 0u) << "word " << word;
    EXPECT_TRUE(info[12] == 0 && info[13] == 0 && info[14] == 0xA5A5A5A5u && info[15] == 0xA5A5A5A5u);
}

// Every host is told 5.0; hosts from 5.3 on get exactly one registration of
// "dbm" as "DigiBooster", kind 2, with the info record; earlier ones none.
TEST_F(PluginEntry, RegistrationByHostVersion)
{
    const struct {
        Word version, revision;
        bool registers;
    } rows[] = {{0, 0, false}, {4, 9, false}, {4, 99, false}, {5, 0, false}, {5, 2, false},
                {5, 3, true},  {5, 9, true},  {6, 0, true},   {9, 7, true}};
    for (const auto &row : rows) {
        kvhost::resetHostControls();
        const std::string host = std::to_string(row.version) + "." + std::to_string(row.revision);
        ASSERT_EQ(init(row.version, row.revision), 1) << host;
        EXPECT_TRUE(info[3] == 5 && info[4] == 0) << host;
        const auto registered = kvhost::registrations();
        ASSERT_EQ(registered.size(), row.registers ? 1u : 0u) << host;
        if (row.registers) {
            const kvhost::Registration &r = registered[0];
            EXPECT_TRUE(r.info == info && r.kind == 2 && r.name == "DigiBooster" && r.unusedIsNull && r.extension == "dbm" &&
                        r.a == 0 && r.b == 0) << host;
        }
    }
}

// The gate reads the words on entry: a second call on the same record, which
// now says 5.0, does not register again. A null service record is taken and
// registers nothing; a null info record is refused with 0. PluginHost::start
// initialises as our host.
TEST_F(PluginEntry, InitPluginEdges)
{
    ASSERT_EQ(init(6, 0), 1);
    ASSERT_EQ(plugin.operation<dbm::InitPluginFn>("InitPlugin")(info, kvhost::serviceRecord(10)), 1);
    EXPECT_EQ(kvhost::registrations().size(), 1u);
    kvhost::resetHostControls();
    EXPECT_EQ(init(6, 0, nullptr), 1);
    EXPECT_EQ(info[0], 16u);
    EXPECT_EQ(plugin.operation<dbm::InitPluginFn>("InitPlugin")(nullptr, kvhost::serviceRecord(10)), 0);
    EXPECT_TRUE(kvhost::registrations().empty());
    kvhost::PluginHost host;
    ASSERT_TRUE(host.start(DBM_PLUGIN_PATH)) << host.message();
    EXPECT_EQ(host.info()[0], 16u);
    ASSERT_EQ(kvhost::registrations().size(), 1u);
    EXPECT_EQ(kvhost::registrations()[0].info, host.info());
}

class PluginServices : public testsupport::HostTest {};

// openFile calls plain open without adapter and tag object, open with tags
// otherwise, with {1, adapter}, {6, object}, end, in that order, of those given.
TEST_F(PluginServices, OpenFileByAdapterAndTagObject)
{
    kvhost::addMemoryFile("song.dbm", {'D', 'B', 'M', '0', 1, 2});
    const char adapter[] = "zip";
    Word userTags[] = {5, 9, 0, 0};
    void *object = dbm::hostMakeTagObject(userTags);
    EXPECT_EQ(kvhost::tagObjectTags(object), (std::vector<Word>{5, 9, 0}));
    const Word a = reinterpret_cast<Word>(adapter), o = reinterpret_cast<Word>(object);
    const struct {
        const char *adapter;
        void *object;
        std::vector<Word> tags; // empty: plain open
    } rows[] = {{nullptr, nullptr, {}}, {adapter, nullptr, {1, a, 0}}, {nullptr, object, {6, o, 0}}, {adapter, object, {1, a, 6, o, 0}}};
    for (const auto &row : rows) {
        kvhost::resetHostControls();
        void *file = dbm::openFile("song.dbm", 0, row.adapter, row.object);
        char magic[5] = {};
        EXPECT_EQ(dbm::hostRead(file, magic, 4), 4);
        EXPECT_STREQ(magic, "DBM0");
        dbm::hostClose(file);
        ASSERT_EQ(kvhost::openCalls().size(), 1u);
        const kvhost::OpenCall call = kvhost::openCalls()[0];
        EXPECT_TRUE(call.name == "song.dbm" && call.mode == 0 && call.withTags == !row.tags.empty() && call.tags == row.tags)
            << call.tags.size();
    }
    dbm::hostFreeTagObject(object);
    kvhost::removeMemoryFile("song.dbm");
    EXPECT_EQ(dbm::openFile("/no/such/file.dbm", 0, nullptr, nullptr), nullptr);
    EXPECT_EQ(dbm::openFile("/no/such/file.dbm", 0, "zip", nullptr), nullptr);
}

// InitPlugin keeps the host's own version (not the 5 it writes back) and its
// service record; a null record leaves the stored one as it was.
TEST_F(PluginServices, InitPluginStoresTheHostsVersionAndRecord)
{
    Word info[14] = {0, 0, 0, 9, 1};
    ASSERT_EQ(dbm::InitPlugin(info, kvhost::serviceRecord(7)), 1);
    EXPECT_TRUE(dbm::pluginGlobals.hostVersion == 9 && dbm::pluginGlobals.host == kvhost::serviceRecord(7) && info[3] == 5);
    info[3] = 4;
    ASSERT_EQ(dbm::InitPlugin(info, nullptr), 1);
    EXPECT_TRUE(dbm::pluginGlobals.hostVersion == 4 && dbm::pluginGlobals.host == kvhost::serviceRecord(7));
}

// The stream operations on the minimal module (one note, 64 rows at speed 6:
// the song stops after about 6.3 seconds).
using namespace testsupport;

dbm::StreamState *state(const StreamHandle &stream) { return static_cast<dbm::StreamState *>(stream.get()); }

class Stream : public HostTest {
protected:
    Stream() { kvhost::addMemoryFile("song.dbm", modwriter::write(modwriter::minimalModule())); }
    ~Stream() override { kvhost::removeMemoryFile("song.dbm"); }

    StreamHandle open(const char *name = "song.dbm") { return StreamHandle(dbm::OpenStream(name, format)); }

    Word format[9] = {};
    std::vector<int16_t> out, again;
};

// A module opens as a four-hour 44100 Hz stereo 16-bit stream at level 16
// (a gain of 2^(16/6) / 4 tracks = 1.5874, 104032 in 16.16); 100000 frames
// asked are all written, as the engine renders them in pieces of at most
// 44100; the song's stop does not end the stream; near the announced end
// only the frames up to it are written, and then every call is done.
TEST_F(Stream, FormatAndDelivery)
{
    StreamHandle stream = open();
    ASSERT_NE(stream, nullptr);
    EXPECT_TRUE(format[0] == 635040000 && format[1] == 2 && format[2] == 16 && format[3] == 44100);
    EXPECT_TRUE(state(stream)->position == 0 && state(stream)->totalFrames == 635040000);
    EXPECT_EQ(state(stream)->engine->outputGain, 104032);
    EXPECT_STREQ(state(stream)->fileName, "song.dbm");
    EXPECT_EQ(pull(stream.get(), 100000, out).written, 100000u);
    ModuleHandle module(loadSpec(modwriter::minimalModule()));
    dbm::Engine *engine = dbm::createEngine(module.get(), 44100, 44100);
    dbm::setOutputLevel(engine, 16);
    again.resize(2 * 100000);
    for (uint32_t at : {0, 44100, 88200})
        EXPECT_EQ(dbm::renderFrames(engine, std::min(44100u, 100000 - at), again.data() + 2 * at), std::min(44100u, 100000 - at));
    dbm::destroyEngine(engine);
    EXPECT_EQ(out, again);
    const Pulled rest = pull(stream.get(), 400000, out);
    EXPECT_TRUE(rest.written == 400000 && rest.done == 0 && state(stream)->engine->rowDelay > 15);
    state(stream)->position = 635039000;
    const Pulled last = pull(stream.get(), 4410, out), after = pull(stream.get(), 4410, out), none = pull(stream.get(), 0, out);
    EXPECT_TRUE(last.written == 1000 && last.done == 1 && state(stream)->position == 635040000);
    EXPECT_TRUE(after.written == 0 && after.done == 1 && none.written == 0 && none.done == 0);
}

// Seeking does nothing on a fresh stream or to a frame other than 0; to 0
// after frames it reads the file again and the output restarts identically
// (the fault sweep fails each allocation of a rewind).
TEST_F(Stream, RewindOnlyToTheStart)
{
    StreamHandle stream = open();
    dbm::Engine *first = state(stream)->engine;
    const size_t opens = kvhost::openCalls().size();
    dbm::SeekStream(stream.get(), 0);
    pull(stream.get(), 30000, out);
    dbm::SeekStream(stream.get(), 100);
    EXPECT_TRUE(state(stream)->engine == first && state(stream)->position == 30000 && kvhost::openCalls().size() == opens);
    dbm::SeekStream(stream.get(), 0);
    EXPECT_TRUE(state(stream)->position == 0 && kvhost::openCalls().size() == opens + 1);
    pull(stream.get(), 30000, again);
    EXPECT_TRUE(std::any_of(out.begin(), out.end(), [](int16_t s) { return s != 0; }));
    EXPECT_EQ(out, again);
}

// Files refused: any magic byte differing (letter case included), fewer than
// four bytes, a file the reader refuses (with user tags: the tag object goes
// too), a missing file (the format untouched), names of 1024 bytes or more.
TEST_F(Stream, RefusedFilesLeaveNothing)
{
    const Word tags[] = {0x8000, 5, 0, 0};
    format[8] = reinterpret_cast<Word>(tags);
    std::vector<uint8_t> good = modwriter::write(modwriter::minimalModule());
    for (std::string bytes : {"dBM0", "DbM0", "DBm0", "DBM1", "XBM0", "DBMO", "", "D", "DB", "DBM", "DBM0\x09"}) {
        std::vector<uint8_t> file(good);
        std::copy(bytes.begin(), bytes.end(), file.begin());
        file.resize(bytes.size() < 4 ? bytes.size() : file.size());
        kvhost::addMemoryFile("bad.dbm", file);
        EXPECT_EQ(open("bad.dbm"), nullptr) << bytes;
    }
    kvhost::removeMemoryFile("bad.dbm");
    EXPECT_EQ(open("no-such-file.dbm"), nullptr);
    EXPECT_EQ(format[0], 0u);
    for (size_t length : {1023, 1024}) {
        kvhost::addMemoryFile(std::string(length, 'f'), good);
        EXPECT_EQ(open(std::string(length, 'f').c_str()) != nullptr, length < 1024) << length;
        kvhost::removeMemoryFile(std::string(length, 'f'));
    }
}

// One row per host: the flags gain 3, and 8 on hosts newer than 8, the host's
// own bits staying; interface 5 reads neither the adapter name nor the user
// tags, 6 to 9 only the adapter name (of at most 255 bytes), 10 both.
TEST_F(Stream, WhatEachHostIsGiven)
{
    const struct {
        int32_t interface;
        uint32_t version;
        size_t adapterLength;
        bool opens;
        Word flags;
    } rows[] = {{10, 8, 5, true, 0x103}, {10, 9, 5, true, 0x10B}, {5, 9, 0, true, 0x10B}, {6, 9, 5, true, 0x10B},
                {9, 9, 255, true, 0x10B}, {6, 9, 256, false, 0x100}};
    for (const auto &row : rows) {
        dbm::pluginGlobals.host = kvhost::serviceRecord(row.interface);
        dbm::pluginGlobals.hostVersion = row.version;
        kvhost::resetHostControls();
        const std::string adapter(row.adapterLength, 'a'), what = std::to_string(row.interface) + "/" + std::to_string(row.version);
        const Word tags[] = {0x8000, 7, 0, 0}, unreadable = 1; // would crash if read
        format[4] = 0x100;
        format[7] = row.interface > 5 ? reinterpret_cast<Word>(adapter.c_str()) : unreadable;
        format[8] = row.interface > 9 ? reinterpret_cast<Word>(tags) : unreadable;
        StreamHandle stream = open();
        ASSERT_EQ(stream != nullptr, row.opens) << what;
        if (!stream)
            continue;
        EXPECT_EQ(format[4], row.flags) << what;
        ASSERT_FALSE(kvhost::openCalls().empty());
        EXPECT_EQ(kvhost::openCalls()[0].withTags, row.interface > 5) << what;
        EXPECT_EQ(std::string(state(stream)->adapterName), row.interface > 5 ? adapter : "") << what;
        EXPECT_EQ(state(stream)->tagObject != nullptr, row.interface == 10) << what;
        EXPECT_EQ(kvhost::outstandingTagObjects(), row.interface == 10 ? 1u : 0u) << what;
    }
}

} // namespace
