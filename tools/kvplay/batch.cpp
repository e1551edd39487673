#include "tools/kvplay/batch.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace kvplay {

size_t runBatch(size_t count, unsigned threads, const std::function<bool(size_t)> &work)
{
    std::atomic<size_t> next{0};
    std::atomic<size_t> failures{0};
    auto worker = [&] {
        for (size_t i; (i = next++) < count;)
            if (!work(i))
                ++failures;
    };
    size_t extra = std::min<size_t>(std::max(threads, 1u), count);
    std::vector<std::thread> pool;
    for (size_t t = 1; t < extra; ++t)
        pool.emplace_back(worker);
    worker();
    for (std::thread &thread : pool)
        thread.join();
    return failures;
}

} // namespace kvplay
