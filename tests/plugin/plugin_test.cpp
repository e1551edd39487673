// The plug-in's front door as the host meets it, rule by rule: the built
// digibooster.kvp loaded with dlopen, found by its header, its operations
// looked up by name and InitPlugin called; and the plug-in's side of the
// host services, through the core linked into this test. Record words are
// numbered here as the host numbers them, not with the plug-in's constants.
#include "host/plugin_loader.h"
#include "plugin/entry.h"
#include "tests/support/host.h"

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

} // namespace
