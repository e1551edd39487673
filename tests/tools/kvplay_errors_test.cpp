// kvplay's failures: one clear line naming the file and the reason, a
// non-zero exit status, and the rest of the batch still rendered.

#include "tests/tools/kvplay_process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

namespace {

using kvplaytest::Outcome;
using kvplaytest::Workspace;

struct BadFile {
    const char *label;
    std::vector<uint8_t> (*bytes)(); // null: the file does not exist
    const char *reason;
};

std::vector<uint8_t> notAModule()
{
    return {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
}

std::vector<uint8_t> version4()
{
    return modwriter::assemble(modwriter::chunks(modwriter::minimalModule()), 4);
}

std::vector<uint8_t> threeTracks()
{
    auto chunks = modwriter::chunks(modwriter::minimalModule());
    modwriter::findChunk(chunks, "INFO")->body = modwriter::infoBody(1, 1, 1, 1, 3);
    return modwriter::assemble(chunks);
}

// Ends right after the header of its last chunk (SMPL), so the first read of
// that chunk's body gets nothing.
std::vector<uint8_t> endsInsideAChunk()
{
    auto chunks = modwriter::chunks(modwriter::minimalModule());
    std::vector<uint8_t> bytes = modwriter::assemble(chunks);
    bytes.resize(bytes.size() - modwriter::findChunk(chunks, "SMPL")->body.size());
    return bytes;
}

std::vector<uint8_t> songBeforeInfo()
{
    auto chunks = modwriter::chunks(modwriter::minimalModule());
    auto info = std::find_if(chunks.begin(), chunks.end(), [](auto &c) { return c.id == "INFO"; });
    auto song = std::find_if(chunks.begin(), chunks.end(), [](auto &c) { return c.id == "SONG"; });
    std::iter_swap(info, song);
    return modwriter::assemble(chunks);
}

const BadFile BAD_FILES[] = {
    {"missing", nullptr, "cannot open: No such file or directory"},
    {"not_a_module", notAModule, "not a DBM0 module"},
    {"version_4", version4, "unsupported format version 4"},
    {"three_tracks", threeTracks, "damaged or unsupported data"},
    {"cut_short", endsInsideAChunk, "read error"},
    {"song_before_info", songBeforeInfo, "damaged: a chunk comes before INFO"},
};

class KvplayBadFile : public testing::TestWithParam<BadFile> {};

TEST_P(KvplayBadFile, NamesTheFileAndReasonFailsAndStillRendersTheRestOfTheBatch)
{
    const BadFile &bad = GetParam();
    Workspace w;
    const std::string name = std::string(bad.label) + ".dbm";
    if (bad.bytes)
        w.write(name, bad.bytes());
    w.write("good.dbm", kvplaytest::shortModule(false));
    Outcome run = w.kvplay("-q " + name + " good.dbm");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(run.errors, "kvplay: " + name + ": " + bad.reason + "\n");
    EXPECT_FALSE(w.exists(std::string(bad.label) + ".wav"));
    EXPECT_GT(w.audio("good.wav").frames(), 0u);
}

INSTANTIATE_TEST_SUITE_P(EachKind, KvplayBadFile, testing::ValuesIn(BAD_FILES),
                         [](const auto &info) { return std::string(info.param.label); });

TEST(KvplayPlugin, AMissingPluginIsOneLineAndAFailure)
{
    Workspace w;
    w.write("good.dbm", kvplaytest::shortModule(false));
    Outcome run = w.kvplay("-q --plugin nowhere.kvp good.dbm");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_NE(run.errors.find("nowhere.kvp"), std::string::npos) << run.errors;
    EXPECT_FALSE(w.exists("good.wav"));
}

TEST(KvplayPlugin, AFileThatIsNoPluginIsOneLineAndAFailure)
{
    Workspace w;
    w.write("fake.kvp", kvplaytest::shortModule(false));
    Outcome run = w.kvplay("-q --plugin ./fake.kvp");
    EXPECT_NE(run.status, 0);
    EXPECT_EQ(std::count(run.errors.begin(), run.errors.end(), '\n'), 1) << run.errors;
    EXPECT_NE(run.errors.find("cannot load the plug-in"), std::string::npos) << run.errors;
}

TEST(KvplayUsage, OneOutputNameForSeveralFilesIsAUsageError)
{
    Workspace w;
    Outcome run = w.kvplay("-o both.wav a.dbm b.dbm");
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find("-o"), std::string::npos) << run.errors;
}

TEST(KvplayUsage, OutputsThatWouldOverwriteEachOtherOrTheirModuleAreRefused)
{
    Workspace w;
    std::filesystem::create_directories(w.path("other"));
    w.write("song.dbm", kvplaytest::shortModule(false));
    w.write("other/song.dbm", kvplaytest::shortModule(true));
    const std::vector<uint8_t> module = w.read("song.dbm");
    EXPECT_EQ(w.kvplay("-q song.dbm other/song.dbm").status, 2);
    EXPECT_FALSE(w.exists("song.wav"));
    EXPECT_EQ(w.kvplay("-q -o song.dbm song.dbm").status, 2);
    EXPECT_EQ(w.read("song.dbm"), module);
}

TEST(KvplayUsage, AnUnknownOutputExtensionIsRefusedBeforeWriting)
{
    Workspace w;
    Outcome run = w.kvplay("-q -o demo.mp3");
    EXPECT_NE(run.status, 0);
    EXPECT_NE(run.errors.find("unknown output format"), std::string::npos) << run.errors;
    EXPECT_FALSE(w.exists("demo.mp3"));
}

} // namespace
