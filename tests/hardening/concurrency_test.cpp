// Several streams at once on several threads, on the same file and on
// different files: each delivers exactly what the same stream delivers when
// played alone. The host's services are shared by the whole process and
// lock themselves; the core keeps no state between streams.
#include "tests/hardening/hostile_modules.h"
#include "tests/hardening/stream_support.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

using namespace hardening;

const char *const FILES[] = {"concurrent-busy.dbm", "concurrent-endless.dbm", "concurrent-sweep.dbm"};
constexpr unsigned THREADS = 4;
constexpr unsigned STREAMS_PER_THREAD = 2;

// The life of one stream per file, all open at once on this thread, their
// operations interleaved: pulls of varied sizes, a rewind, more pulls.
// Returns every sample each stream delivered.
std::vector<std::vector<int16_t>> play(const std::vector<const char *> &files)
{
    std::vector<std::vector<int16_t>> all(files.size());
    std::vector<void *> streams;
    for (const char *file : files)
        streams.push_back(openStream(file));
    std::vector<int16_t> out;
    const uint32_t pulls[] = {4410, 1, 30000, 44100, 513};
    for (int pass = 0; pass < 2; ++pass) {
        for (uint32_t frames : pulls)
            for (size_t i = 0; i < streams.size(); ++i) {
                const Pulled got = pull(streams[i], frames, out);
                all[i].insert(all[i].end(), out.begin(), out.begin() + 2 * got.written);
            }
        for (void *stream : streams)
            dbm::SeekStream(stream, 0);
    }
    for (void *stream : streams)
        dbm::CloseStream(stream);
    return all;
}

// Streams on several threads at once: the same files and different ones.
TEST(ConcurrentStreams, EachPlaysAsItWouldAlone)
{
    useHost();
    kvhost::resetHostControls();
    kvhost::addMemoryFile(FILES[0], modwriter::write(busyModule()));
    kvhost::addMemoryFile(FILES[1], modwriter::write(endlessModule()));
    kvhost::addMemoryFile(FILES[2], modwriter::write(effectSweep(EFFECT_ECHO_SWITCH, 1)));
    const size_t blocks = kvhost::outstandingBlocks();

    std::vector<std::vector<int16_t>> alone;
    for (const char *file : FILES) {
        alone.push_back(play({file})[0]);
        ASSERT_EQ(alone.back().size(), 2u * 2 * (4410 + 1 + 30000 + 44100 + 513)) << file;
    }

    // Thread t holds STREAMS_PER_THREAD streams open at once, stream s on
    // file (t + s) % 3, so every file is played by several threads.
    std::vector<std::vector<std::vector<int16_t>>> together(THREADS);
    std::vector<std::thread> threads;
    for (unsigned t = 0; t < THREADS; ++t)
        threads.emplace_back([t, &together] {
            std::vector<const char *> files;
            for (unsigned s = 0; s < STREAMS_PER_THREAD; ++s)
                files.push_back(FILES[(t + s) % 3]);
            together[t] = play(files);
        });
    for (std::thread &thread : threads)
        thread.join();

    for (unsigned t = 0; t < THREADS; ++t)
        for (unsigned s = 0; s < STREAMS_PER_THREAD; ++s)
            EXPECT_EQ(together[t][s], alone[(t + s) % 3]) << "thread " << t << " stream " << s;
    for (const char *file : FILES)
        kvhost::removeMemoryFile(file);
    EXPECT_EQ(kvhost::outstandingBlocks(), blocks);
    EXPECT_EQ(kvhost::openFiles(), 0u);
}

} // namespace
