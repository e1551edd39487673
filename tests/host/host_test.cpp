// Our host layer as the plug-in and kvplay rely on it: the plug-in loader
// finds the built plug-in by its header alone and refuses files that are not
// usable plug-ins with a typed error; the services read real files, refuse
// oversized blocks, copy tag lists and record registrations.
#include "host/plugin_loader.h"
#include "tests/support/host.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

using kvhost::PluginError;
using kvhost::PluginHost;
using dbm::Word;

TEST(PluginLoader, FindsThePluginThatExportsNothingByItsHeader)
{
    PluginHost plugin;
    ASSERT_TRUE(plugin.load(DBM_PLUGIN_PATH)) << plugin.message(); // it exports nothing (plugin_exports_nothing)
    Dl_info where{};
    ASSERT_NE(::dladdr(plugin.header(), &where), 0);
    EXPECT_EQ(std::string(where.dli_fname), DBM_PLUGIN_PATH); // in the plug-in's own image
    std::ifstream file(DBM_PLUGIN_PATH, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    EXPECT_NE(bytes.find(std::string("$VER: digibooster.kvp 1.2 (08.05.26) [ppc-amigaos]") + '\0'), std::string::npos);
}

// One row per way a file fails to be a usable plug-in; a host that failed
// loads a good plug-in afterwards, clean of the old error.
TEST(PluginLoader, UnusableFilesAreRefusedWithTheirError)
{
    const std::string text = ::testing::TempDir() + "kvhost_not_a_plugin.kvp";
    std::ofstream(text) << "KESTROVA is just a word here\n";
    const struct {
        std::string path;
        PluginError error;
    } rows[] = {
        {"/no/such/plugin.kvp", PluginError::FileMissing},
        {text, PluginError::NotSharedObject},
        {NO_HEADER_OBJECT, PluginError::NoHeader},
    };
    PluginHost plugin;
    for (const auto &row : rows) {
        EXPECT_FALSE(plugin.load(row.path)) << row.path;
        EXPECT_FALSE(plugin.loaded()) << row.path;
        EXPECT_EQ(plugin.error(), row.error) << row.path;
        EXPECT_NE(plugin.message().find(kvhost::describe(row.error)), std::string::npos) << row.path;
    }
    std::remove(text.c_str());
    ASSERT_TRUE(plugin.start(DBM_PLUGIN_PATH)) << plugin.message();
    EXPECT_EQ(plugin.error(), PluginError::None);
    EXPECT_TRUE(plugin.message().empty());
    plugin.unload();
    EXPECT_EQ(plugin.lookup("InitPlugin"), nullptr);
}

class HostServices : public testsupport::HostTest {};

// The service record as the host's interface lays it out, every table
// reached at its own word and slot: word 0 the interface version; 2 memory
// (allocate 1, free 3); 3 registry (register extension 19); 4 files (open 0,
// close 1, read 3, open with tags 32); 15 tag objects (make 4, free 5).
TEST_F(HostServices, ServeThePluginAtTheirPlaces)
{
    Word *record = kvhost::serviceRecord(10);
    EXPECT_EQ(int32_t(kvhost::serviceRecord(-3)[0]), -3);
    for (int word : {2, 3, 4, 15})
        ASSERT_NE(record[word], 0u) << "word " << word;
    const auto slot = [&](int word, int n) { return reinterpret_cast<dbm::HostFunction *>(record[word])[n]; };
    const auto allocate = reinterpret_cast<dbm::HostAllocate>(slot(2, 1));
    EXPECT_EQ(allocate(65536, 65536), nullptr); // more than 32 bits of bytes: refused, not truncated
    const size_t blocks = kvhost::outstandingBlocks();
    auto *block = static_cast<uint8_t *>(allocate(4, 25));
    EXPECT_EQ(kvhost::outstandingBlocks(), blocks + 1);
    EXPECT_TRUE(std::all_of(block, block + 100, [](uint8_t b) { return b == 0; }));
    reinterpret_cast<dbm::HostFree>(slot(2, 3))(block);
    const std::string path = ::testing::TempDir() + "kvhost_seven_bytes";
    std::ofstream(path, std::ios::binary) << "1234567";
    Word adapter[] = {1, reinterpret_cast<Word>("zip"), 0};
    for (bool withTags : {false, true}) {
        void *file = withTags ? reinterpret_cast<dbm::HostOpenWithTags>(slot(4, 32))(path.c_str(), 0, adapter)
                              : reinterpret_cast<dbm::HostOpen>(slot(4, 0))(path.c_str(), 0);
        char buffer[8] = {};
        const auto read = reinterpret_cast<dbm::HostRead>(slot(4, 3));
        EXPECT_TRUE(read(file, buffer, 5) == 5 && read(file, buffer + 5, 5) == 2 && read(file, buffer, 5) == 0);
        EXPECT_STREQ(buffer, "1234567");
        reinterpret_cast<dbm::HostClose>(slot(4, 1))(file);
        EXPECT_EQ(kvhost::openCalls().back().withTags, withTags);
    }
    std::remove(path.c_str());
    Word tags[] = {3, 30, 4, 40, 0, 99};
    void *object = reinterpret_cast<dbm::HostMakeTagObject>(slot(15, 4))(tags, 0);
    tags[1] = 0;
    EXPECT_EQ(kvhost::tagObjectTags(object), (std::vector<Word>{3, 30, 4, 40, 0})); // a copy, to the end tag
    reinterpret_cast<dbm::HostFreeTagObject>(slot(15, 5))(object);
    Word info[14] = {};
    reinterpret_cast<dbm::HostRegisterExtension>(slot(3, 19))(info, 2, "Name", nullptr, "ext", 0, 0);
    ASSERT_EQ(kvhost::registrations().size(), 1u);
    const kvhost::Registration r = kvhost::registrations()[0];
    EXPECT_TRUE(r.info == info && r.kind == 2 && r.name == "Name" && r.unusedIsNull && r.extension == "ext");
}

} // namespace
