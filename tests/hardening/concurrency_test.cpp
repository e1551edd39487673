// Several streams at once on several threads, on the same file and on
// different files: each delivers exactly what the same stream delivers when
// played alone. The host's services lock themselves; the core keeps no state
// between streams.
#include "tests/support/host.h"
#include "tests/support/modules.h"
#include "tests/support/stream.h"

#include <thread>

namespace {

using namespace testsupport;

const char *const FILES[] = {"concurrent-busy.dbm", "concurrent-endless.dbm", "concurrent-sweep.dbm"};

// One stream per file, all open at once on this thread, their operations
// interleaved: pulls of varied sizes, a rewind, the pulls again. Every
// sample each stream delivered.
std::vector<std::vector<int16_t>> play(const std::vector<const char *> &files)
{
    std::vector<std::vector<int16_t>> all(files.size());
    std::vector<StreamHandle> streams;
    for (const char *file : files)
        streams.emplace_back(openStream(file));
    std::vector<int16_t> out;
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t frames : {4410, 1, 30000, 44100, 513})
            for (size_t i = 0; i < streams.size(); ++i) {
                const Pulled got = pull(streams[i].get(), frames, out);
                all[i].insert(all[i].end(), out.begin(), out.begin() + 2 * got.written);
            }
        for (StreamHandle &stream : streams)
            dbm::SeekStream(stream.get(), 0);
    }
    return all;
}

class ConcurrentStreams : public HostTest {};

// Thread t holds two streams open at once, on files t % 3 and (t + 1) % 3.
TEST_F(ConcurrentStreams, EachPlaysAsItWouldAlone)
{
    kvhost::addMemoryFile(FILES[0], modwriter::write(busyModule()));
    kvhost::addMemoryFile(FILES[1], modwriter::write(endlessModule()));
    kvhost::addMemoryFile(FILES[2], modwriter::write(effectSweep(EFFECT_ECHO_SWITCH, 1)));
    std::vector<std::vector<int16_t>> alone;
    for (const char *file : FILES) {
        alone.push_back(play({file})[0]);
        ASSERT_EQ(alone.back().size(), 2u * 2 * (4410 + 1 + 30000 + 44100 + 513)) << file;
    }
    std::vector<std::vector<std::vector<int16_t>>> together(4);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < 4; ++t)
        threads.emplace_back([t, &together] { together[t] = play({FILES[t % 3], FILES[(t + 1) % 3]}); });
    for (std::thread &thread : threads)
        thread.join();
    for (unsigned t = 0; t < 4; ++t)
        for (unsigned s = 0; s < 2; ++s)
            EXPECT_EQ(together[t][s], alone[(t + s) % 3]) << "thread " << t << " stream " << s;
    for (const char *file : FILES)
        kvhost::removeMemoryFile(file);
}

} // namespace
