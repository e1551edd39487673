// Running the files of a batch on several threads.
#pragma once

#include <cstddef>
#include <functional>

namespace kvplay {

// Calls work(i) for i = 0..count-1, on `threads` threads at once (at least
// one, at most count), each index exactly once. Returns the number of calls
// that returned false. A failing call does not stop the others.
size_t runBatch(size_t count, unsigned threads, const std::function<bool(size_t)> &work);

} // namespace kvplay
